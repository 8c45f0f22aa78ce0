// SPDX-License-Identifier: MIT
// What the test popup server answers, read from a JSON file (see demo.json and
// docs/protocol.md for the format).
#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

struct Scenario {
    QJsonObject root;

    static Scenario load(const QString &path, QString &error);

    // Value fields (after the command word) of each verb's answer.
    QStringList initNewJob(const QStringList &request, QString &queueKey) const;
    QStringList descriptor(const QString &queueKey, int index) const;
    // chunkRows: rows per GETSQLDATA answer ("chunkRows" of the statement, 2 by default).
    QStringList sqlList(const QStringList &request, QStringList &rows, int &chunkRows) const;
    QStringList verifyLastAnswers(const QStringList &request) const;
    QStringList listRecentUserCodes(const QStringList &request) const;
    QStringList findUserCodes(const QStringList &request) const;
    QStringList listLastAnswers(const QStringList &request) const;
    // A fixed answer for a verb, when the scenario overrides it.
    bool override(const QString &verb, QStringList &fields) const;
    int version() const;

private:
    QJsonObject queue(const QString &name) const;
    QString description(const QString &category, const QString &code) const;
    void renderDescriptors();

    // Every queue's descriptor answers, rendered once at load: the scenario does not change
    // while the server runs, and rendering numbers is most of the work of an answer.
    QList<std::pair<QString, QList<QStringList>>> m_descriptors;
};
