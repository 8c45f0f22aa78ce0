// SPDX-License-Identifier: MIT
#include "Scenario.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <algorithm>

namespace {

QString text(const QJsonValue &v) {
    if (v.isString())
        return v.toString();
    if (v.isBool())
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    if (v.isDouble())
        return QString::number(v.toDouble(), 'g', 17);
    return {};
}

QStringList strings(const QJsonValue &v) {
    QStringList out;
    for (const QJsonValue &item : v.toArray())
        out << text(item);
    return out;
}

QString arg(const QStringList &request, int index) {
    return index < request.size() ? request[index] : QString();
}

// "%" is the wildcard of search patterns.
bool matches(const QString &pattern, const QString &code) {
    QStringList parts = pattern.split(QLatin1Char('%'));
    for (QString &part : parts)
        part = QRegularExpression::escape(part);
    const QString expression = parts.join(QStringLiteral(".*"));
    return QRegularExpression(QRegularExpression::anchoredPattern(expression),
                              QRegularExpression::CaseInsensitiveOption)
        .match(code)
        .hasMatch();
}

QJsonObject findCaseless(const QJsonObject &object, const QString &key) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.key().compare(key, Qt::CaseInsensitive) == 0)
            return it.value().toObject();
    }
    return {};
}

const QString CrLf = QStringLiteral("\r\n");

} // namespace

Scenario Scenario::load(const QString &path, QString &error) {
    Scenario s;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1").arg(path);
        return s;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!doc.isObject()) {
        error = QStringLiteral("%1: %2").arg(path, parseError.errorString());
        return s;
    }
    s.root = doc.object();
    s.renderDescriptors();
    return s;
}

int Scenario::version() const {
    return root.value(QStringLiteral("version")).toInt(1005);
}

bool Scenario::override(const QString &verb, QStringList &fields) const {
    const QJsonValue v = root.value(QStringLiteral("overrides")).toObject().value(verb);
    if (!v.isArray())
        return false;
    fields = strings(v);
    return true;
}

QJsonObject Scenario::queue(const QString &name) const {
    return findCaseless(root.value(QStringLiteral("queues")).toObject(), name);
}

// Request: workstation, print server, queue, user, document.
QStringList Scenario::initNewJob(const QStringList &request, QString &queueKey) const {
    queueKey = arg(request, 2);
    const QJsonObject q = queue(queueKey);
    if (q.isEmpty()) {
        queueKey.clear();
        return {QStringLiteral("NOQUEUE")};
    }
    return {text(q.value(QStringLiteral("transaction"))),
            q.value(QStringLiteral("allowLastAnswers")).toBool(true) ? QStringLiteral("1")
                                                                     : QStringLiteral("0"),
            QString(),
            q.value(QStringLiteral("dmsConfig")).toString(),
            QString::number(q.value(QStringLiteral("options")).toInt()),
            q.value(QStringLiteral("group")).toString()};
}

QStringList Scenario::descriptor(const QString &queueKey, int index) const {
    for (const auto &[name, answers] : m_descriptors) {
        if (name.compare(queueKey, Qt::CaseInsensitive) == 0)
            return index < 0 || index >= answers.size() ? QStringList() : answers[index];
    }
    return {};
}

void Scenario::renderDescriptors() {
    const QJsonObject queues = root.value(QStringLiteral("queues")).toObject();
    for (auto it = queues.begin(); it != queues.end(); ++it) {
        QList<QStringList> answers;
        for (const QJsonValue &v :
             it.value().toObject().value(QStringLiteral("descriptors")).toArray()) {
            const QJsonObject d = v.toObject();
            if (d.contains(QStringLiteral("raw"))) {
                answers.append(strings(d.value(QStringLiteral("raw"))));
                continue;
            }
            const auto field = [&](const char *key, const char *fallback) {
                const QJsonValue value = d.value(QLatin1String(key));
                return value.isUndefined() ? QString::fromLatin1(fallback) : text(value);
            };
            answers.append({field("name", ""), field("prompt", ""), field("description", ""),
                            field("type", "string"), field("maxLength", "0"), field("max", "0"),
                            field("min", "0"), field("mandatory", "0"), field("default", ""),
                            strings(d.value(QStringLiteral("list"))).join(CrLf),
                            field("options", "0"), field("category", "")});
        }
        m_descriptors.append({it.key(), answers});
    }
}

// Request: statement name, first line, second line, parameter values.
QStringList Scenario::sqlList(const QStringList &request, QStringList &rows,
                              int &chunkRows) const {
    const QJsonObject statement =
        findCaseless(root.value(QStringLiteral("sql")).toObject(), arg(request, 0));
    if (statement.isEmpty())
        return {QStringLiteral("dberror: unknown statement"), QString(), QString()};
    rows = strings(statement.value(QStringLiteral("rows")));
    chunkRows = std::max(1, statement.value(QStringLiteral("chunkRows")).toInt(2));
    const QString parameters = arg(request, 3);
    if (statement.value(QStringLiteral("echoParameters")).toBool() && !parameters.isEmpty())
        rows << parameters.split(QLatin1Char('\r'));
    return {statement.value(QStringLiteral("status")).toString(QStringLiteral("dbok")), QString()};
}

// Request: workstation, server, queue, server,queue, user, document, names, answers.
QStringList Scenario::verifyLastAnswers(const QStringList &request) const {
    const QJsonObject verify = root.value(QStringLiteral("verify")).toObject();
    const QString rule = verify.value(QStringLiteral("rule")).toString(QStringLiteral("match"));
    bool valid = rule == QLatin1String("always");
    if (rule == QLatin1String("match")) {
        const QJsonObject accepted = verify.value(QStringLiteral("accepted")).toObject();
        const QJsonValue answers = accepted.value(arg(request, 6));
        valid = answers.isString() && answers.toString() == arg(request, 7);
    }
    return {valid ? QStringLiteral("valid") : QStringLiteral("invalid")};
}

QString Scenario::description(const QString &category, const QString &code) const {
    const QJsonArray list =
        root.value(QStringLiteral("costCenters")).toObject().value(category).toArray();
    for (const QJsonValue &v : list) {
        const QJsonObject cc = v.toObject();
        if (cc.value(QStringLiteral("code")).toString() == code)
            return cc.value(QStringLiteral("description")).toString();
    }
    return {};
}

// Request: user, category, parent code, maximum.
QStringList Scenario::listRecentUserCodes(const QStringList &request) const {
    const QString category = arg(request, 1);
    const QString parent = arg(request, 2);
    const int maximum = arg(request, 3).toInt();
    const QJsonObject user =
        findCaseless(root.value(QStringLiteral("recentCodes")).toObject(), arg(request, 0));
    QStringList codes, descriptions;
    for (const QString &code : strings(user.value(category))) {
        if (codes.size() >= maximum)
            break;
        const QJsonArray all =
            root.value(QStringLiteral("costCenters")).toObject().value(category).toArray();
        for (const QJsonValue &v : all) {
            const QJsonObject cc = v.toObject();
            if (cc.value(QStringLiteral("code")).toString() == code &&
                (parent.isEmpty() || cc.value(QStringLiteral("parent")).toString() == parent)) {
                codes << code;
                descriptions << cc.value(QStringLiteral("description")).toString();
            }
        }
    }
    return {QStringLiteral("dbok"), codes.join(CrLf), descriptions.join(CrLf)};
}

// Request: user, category, pattern, parent code, maximum.
QStringList Scenario::findUserCodes(const QStringList &request) const {
    const QString category = arg(request, 1);
    const QString pattern = arg(request, 2);
    const QString parent = arg(request, 3);
    const int maximum = arg(request, 4).toInt();
    QStringList codes, descriptions;
    const QJsonArray all =
        root.value(QStringLiteral("costCenters")).toObject().value(category).toArray();
    for (const QJsonValue &v : all) {
        if (codes.size() >= maximum)
            break;
        const QJsonObject cc = v.toObject();
        const QString code = cc.value(QStringLiteral("code")).toString();
        if ((parent.isEmpty() || cc.value(QStringLiteral("parent")).toString() == parent) &&
            matches(pattern, code)) {
            codes << code;
            descriptions << cc.value(QStringLiteral("description")).toString();
        }
    }
    return {QStringLiteral("dbok"), codes.join(CrLf), descriptions.join(CrLf)};
}

// Request: user, category, maximum. Each combination lists its codes in category order.
QStringList Scenario::listLastAnswers(const QStringList &request) const {
    const QJsonObject user =
        findCaseless(root.value(QStringLiteral("lastAnswers")).toObject(), arg(request, 0));
    const QJsonObject entry = user.value(arg(request, 1)).toObject();
    const QStringList categories = strings(entry.value(QStringLiteral("categories")));
    const int maximum = arg(request, 2).toInt();
    QStringList lines;
    int count = 0;
    for (const QJsonValue &combination : entry.value(QStringLiteral("combinations")).toArray()) {
        if (count >= maximum)
            break;
        const QStringList codes = strings(combination);
        for (int k = 0; k < categories.size(); ++k) {
            const QString code = arg(codes, k);
            lines << code << description(categories[k], code);
        }
        ++count;
    }
    return {QStringLiteral("dbok"), QString::number(count), QString::number(categories.size()),
            lines.join(CrLf)};
}
