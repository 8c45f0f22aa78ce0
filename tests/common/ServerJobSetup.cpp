// SPDX-License-Identifier: MIT
#include "ServerJobSetup.h"

#include "PopupServerJob.h"
#include "PrintDataManager.h"
#include "QuestionManager.h"
#include "ZvRegistry.h"
#include "ZvSharedSection.h"

#include <cstring>
#include <stdexcept>

namespace zvtest {

ServerJobSetup::ServerJobSetup(const QString &program, const QString &scenarioFile,
                               const QString &logFile, const QStringList &arguments,
                               int receiveTimeoutSeconds)
    : m_server(program, QStringList{QStringLiteral("--scenario"), scenarioFile,
                                    QStringLiteral("--log"), logFile} +
                            arguments) {
    if (m_server.port() <= 0)
        return;
    const auto key =
        zv::ZvRegKey::create(zv::RegRoot::LocalMachine, QString::fromLatin1(PopupServerKeyName));
    key.writeString(QStringLiteral("ServerPort"), QString::number(m_server.port()));
    key.writeString(QStringLiteral("ReceiveTimeout"), QString::number(receiveTimeoutSeconds));
}

ServerJobSetup::~ServerJobSetup() {
    if (m_section) {
        m_section.reset();
        zv::ZvSharedSection::unlink(m_sectionName);
    }
}

void ServerJobSetup::writeJob(const QString &sectionName, const QByteArray &queue,
                              const QByteArray &document, qint32 pages) {
    if (m_section && sectionName != m_sectionName)
        throw std::logic_error("one job section per set-up");
    if (!m_section)
        m_section = zv::ZvSharedSection::create(sectionName, 0600);
    m_sectionName = sectionName;
    const QByteArray details = SectionText("WS1") + SectionText("127.0.0.1") + SectionText(queue) +
                               SectionText("alice") + SectionText(document) + SectionText("HP") +
                               SectionInt32(pages);
    std::memcpy(m_section->data(), details.constData(), size_t(details.size()));
}

QByteArray ServerJobSetup::sectionBytes(qsizetype size) const {
    return m_section ? QByteArray(m_section->data(), size) : QByteArray();
}

std::unique_ptr<TQuestionManager> ServerJobSetup::makeManager(TPopupServerJob **source) const {
    auto job = std::make_unique<TPopupServerJob>(QStringList{m_sectionName});
    if (source)
        *source = job.get();
    return std::make_unique<TQuestionManager>(QStringList{m_sectionName}, std::move(job));
}

} // namespace zvtest
