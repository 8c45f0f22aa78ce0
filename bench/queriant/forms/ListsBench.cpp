// SPDX-License-Identifier: MIT
// The list dialog on 100,000 values: from presenting the question to the first painted frame of
// its grid, against a bare QListView over a QStringListModel of the same strings in the same
// run, with the peak memory growth of each; one type-ahead keystroke (filter, locate, repaint);
// and the SQL list refilled with 100,000 rows from zvpopupd on loopback, beside the refill alone.
#include "AesUse.h"
#include "BenchRun.h"
#include "ChoiceGrid.h"
#include "FormFactory.h"
#include "ListQuestionFrm.h"
#include "QuestionManager.h"
#include "ServerJobSetup.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListView>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <malloc.h>

namespace {

constexpr int ValueCount = 100000;

// Values as a user would meet them: words in mixed case, a number, varying length.
QByteArrayList benchValues() {
    static const char *words[] = {"North",  "south", "Printer", "queue", "Floor",   "wing",
                                  "Colour", "mono",  "Finance", "legal", "Archive", "draft",
                                  "Tower",  "annex", "Studio",  "lab"};
    QByteArrayList values;
    values.reserve(ValueCount);
    quint32 seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int i = 0; i < ValueCount; ++i) {
        QByteArray v = words[(next() >> 8) % 16];
        v += ' ';
        v += words[(next() >> 8) % 16];
        v += ' ';
        v += QByteArray::number(i).rightJustified(6, '0');
        values.append(v);
    }
    return values;
}

const QByteArrayList &values() {
    static const QByteArrayList v = benchValues();
    return v;
}

double utf16Bytes(const QByteArrayList &list) {
    double units = 0;
    for (const QByteArray &v : list)
        units += double(QString::fromUtf8(v).size());
    return units * 2;
}

// Resident and peak resident memory in KiB; writing 5 to clear_refs restarts the peak.
long statusKiB(const char *field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field))).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}
bool restartPeak() {
    malloc_trim(0);
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

// Runs the event loop until target has painted once.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget *target) : m_target(target) { target->installEventFilter(this); }
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == m_target && event->type() == QEvent::Paint)
            m_painted = true;
        return false;
    }
    bool wait() {
        for (int i = 0; i < 100000 && !m_painted; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        return m_painted;
    }

private:
    QWidget *m_target;
    bool m_painted = false;
};

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A job of one list question, shown as the host shows it.
struct ListJob {
    explicit ListJob(const QByteArrayList &choices) : manager({QStringLiteral("-Automation")}) {
        auto q = std::make_unique<TQuestion>();
        q->FormType = FormType::List;
        q->Prompt = QStringLiteral("Which queue?");
        q->Mandatory = true;
        q->Choices = choices;
        auto set = std::make_unique<TQuestionSet>();
        set->FormType = FormType::List;
        set->Add(q.get());
        manager.FQuestionList.push_back(std::move(q));
        manager.FQuestionSetList.push_back(std::move(set));
        manager.FBusy = true;
    }
    TQuestionSet &set() { return *manager.FQuestionSetList.front(); }
    TQuestionManager manager;
};

// Every run reports the same counters (the CSV report needs one set of columns); 0 where a
// figure does not apply.
struct Figures {
    double peakGrowthMiB = 0;
    double peakPerUtf16 = 0;
    double medianMs = 0;
    double p99Ms = 0;
    double maxMs = 0;
    void report(benchmark::State &state) const {
        state.counters["peak_growth_MiB"] = peakGrowthMiB;
        state.counters["peak_per_utf16"] = peakPerUtf16;
        state.counters["median_ms"] = medianMs;
        state.counters["p99_ms"] = p99Ms;
        state.counters["max_ms"] = maxMs;
    }
};

struct MemoryFigure {
    double peakKiB = 0;
    int samples = 0;
    void add(long before) {
        const long peak = statusKiB("VmHWM:");
        if (before >= 0 && peak >= 0) {
            peakKiB = std::max(peakKiB, double(peak - before));
            ++samples;
        }
    }
    void report(benchmark::State &state) const {
        Figures figures;
        if (samples > 0) {
            figures.peakGrowthMiB = peakKiB / 1024;
            figures.peakPerUtf16 = peakKiB * 1024 / utf16Bytes(values());
        }
        figures.report(state);
    }
};

std::unique_ptr<TQuestionForm> presentedForm(TQuestionManager &manager, TQuestionSet &set) {
    auto form = CreateQuestionForm(QString::fromUtf8(set.FormType), nullptr);
    form->resize(manager.FClientWidth, manager.FClientHeight);
    form->SetQuestionManager(&manager);
    return form;
}

void closeForm(std::unique_ptr<TQuestionForm> form) {
    TQuestionForm::CloseForm(std::move(form));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void BM_ListDialogFirstPaint(benchmark::State &state) {
    ListJob job(values());
    MemoryFigure memory;
    for (auto _ : state) {
        auto form = presentedForm(job.manager, job.set());
        auto &list = static_cast<TListQuestionForm &>(*form);
        PaintWatch painted(list.ListDG->viewport());
        const bool measure = restartPeak();
        const long before = statusKiB("VmRSS:");
        const auto start = std::chrono::steady_clock::now();
        form->SetQuestionSet(&job.set());
        form->SetFormMode(fmSingle);
        form->ShowForm();
        if (!painted.wait()) {
            state.SkipWithError("the grid never painted");
            break;
        }
        state.SetIterationTime(seconds(start));
        if (measure)
            memory.add(before);
        closeForm(std::move(form));
    }
    memory.report(state);
}
BENCHMARK(BM_ListDialogFirstPaint)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// Argument 1: the view told that its rows are of one height (QListView's own fast path).
void BM_BareListViewFirstPaint(benchmark::State &state) {
    QStringList strings;
    strings.reserve(values().size());
    for (const QByteArray &v : values())
        strings.append(QString::fromUtf8(v));
    MemoryFigure memory;
    for (auto _ : state) {
        const bool measure = restartPeak();
        const long before = statusKiB("VmRSS:");
        const auto start = std::chrono::steady_clock::now();
        {
            QStringListModel model(strings);
            QListView view;
            view.setModel(&model);
            view.setUniformItemSizes(state.range(0) == 1);
            view.resize(503, 141);
            PaintWatch painted(view.viewport());
            view.show();
            if (!painted.wait()) {
                state.SkipWithError("the view never painted");
                break;
            }
            state.SetIterationTime(seconds(start));
            if (measure)
                memory.add(before);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    memory.report(state);
}
BENCHMARK(BM_BareListViewFirstPaint)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

// Keystrokes that type the beginning of values from the end of the list, and after each a
// character that starts no value (refused after searching to the end).
void BM_TypeAheadKeystroke(benchmark::State &state) {
    ListJob job(values());
    auto form = presentedForm(job.manager, job.set());
    auto &list = static_cast<TListQuestionForm &>(*form);
    form->SetQuestionSet(&job.set());
    form->SetFormMode(fmSingle);
    form->ShowForm();
    PaintWatch(list.ListDG->viewport()).wait();
    QStringList keys;
    for (int row = ValueCount - 1; row >= 0; row -= 997) {
        const QString value = QString::fromUtf8(values()[row]);
        keys << QString() << value.left(1) << value.mid(1, 1) << value.mid(2, 1) << value.mid(3, 1)
             << value.mid(4, 1) << QStringLiteral("#");
    }
    std::vector<double> times;
    qsizetype next = 0;
    for (auto _ : state) {
        if (keys[next % keys.size()].isEmpty()) {
            list.SearchEdit->clear();
            list.Locate(QString());
            ++next;
        }
        const QChar key = keys[next++ % keys.size()].at(0);
        const auto start = std::chrono::steady_clock::now();
        QTest::keyClick(list.SearchEdit, key.toLatin1());
        QCoreApplication::processEvents();
        const double t = seconds(start);
        state.SetIterationTime(t);
        times.push_back(t);
    }
    Figures figures;
    if (!times.empty()) {
        std::sort(times.begin(), times.end());
        figures.medianMs = times[times.size() / 2] * 1000;
        figures.p99Ms = times[times.size() * 99 / 100] * 1000;
        figures.maxMs = times.back() * 1000;
    }
    figures.report(state);
    closeForm(std::move(form));
}
BENCHMARK(BM_TypeAheadKeystroke)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(3000);

// ---- The SQL list from zvpopupd --------------------------------------------------------------

// zvpopupd serving one SQL list question of 100,000 rows, and a popup-server job against it in
// a registry and section of its own.
class SqlListJob {
public:
    SqlListJob() {
        const QString program = QStringLiteral(ZV_BENCH_BIN_DIR "/zvpopupd");
        if (!QFile::exists(program) || !m_dir.isValid())
            return;
        qputenv("ZORVANT_MACHINE_REG", m_dir.filePath(QStringLiteral("machine.reg")).toLocal8Bit());
        qputenv("ZORVANT_USER_REG", m_dir.filePath(QStringLiteral("user.reg")).toLocal8Bit());
        qputenv("ZORVANT_OBJECT_NAMESPACE", QByteArray("zvbench.") + QByteArray::number(getpid()));
        QJsonArray rows;
        for (const QByteArray &v : values())
            rows.append(QString::fromUtf8(v));
        const QJsonObject question{{"name", "Queue"},     {"prompt", "Which queue?"},
                                   {"type", "sqllist"},   {"mandatory", 1},
                                   {"default", "Queues"}, {"list", QJsonArray{"Q1", "P2"}}};
        const QJsonObject root{
            {"version", 1005},
            {"queues", QJsonObject{{"Bench", QJsonObject{{"transaction", 1},
                                                         {"group", "Bench"},
                                                         {"descriptors", QJsonArray{question}}}}}},
            {"sql", QJsonObject{{"Queues", QJsonObject{{"rows", rows}, {"chunkRows", 1000}}}}}};
        QFile scenario(m_dir.filePath(QStringLiteral("scenario.json")));
        if (!scenario.open(QIODevice::WriteOnly) ||
            scenario.write(QJsonDocument(root).toJson()) <= 0)
            return;
        scenario.close();
        m_setup = std::make_unique<zvtest::ServerJobSetup>(
            program, scenario.fileName(), QStringLiteral("/dev/null"), QStringList(), 30);
        if (m_setup->port() <= 0)
            return;
        m_setup->writeJob(m_sectionName, "Bench", "report.pdf", 3);
        manager = m_setup->makeManager();
        try {
            manager->Start();
        } catch (const zv::ZvError &error) {
            m_error = error.message();
            manager.reset();
        }
    }
    ~SqlListJob() { manager.reset(); }
    bool ready() const { return manager && manager->QuestionSetCount() == 1; }
    QByteArray error() const {
        return m_error.isEmpty() ? QByteArray("zvpopupd is not built or the job did not start")
                                 : m_error.toUtf8();
    }
    TQuestionSet &set() { return *manager->QuestionSet(0); }

    std::unique_ptr<TQuestionManager> manager;

private:
    QTemporaryDir m_dir;
    QString m_error;
    QString m_sectionName = QStringLiteral("Local\\zvbench.%1.lists").arg(getpid());
    std::unique_ptr<zvtest::ServerJobSetup> m_setup;
};

// Runs iteration for every round of the benchmark against a started job; a failure to start or
// a server error ends the benchmark with its message.
void runSqlListJob(benchmark::State &state,
                   const std::function<void(benchmark::State &, SqlListJob &)> &iteration) {
    SqlListJob job;
    if (!job.ready()) {
        state.SkipWithError(job.error().constData());
    } else {
        try {
            iteration(state, job);
        } catch (const zv::ZvError &error) {
            state.SkipWithError(error.message().toUtf8().constData());
        }
    }
    Figures().report(state);
}

void BM_SqlListRefillAndFirstPaint(benchmark::State &state) {
    runSqlListJob(state, [](benchmark::State &state, SqlListJob &job) {
        for (auto _ : state) {
            auto form = presentedForm(*job.manager, job.set());
            PaintWatch painted(static_cast<TListQuestionForm &>(*form).ListDG->viewport());
            const auto start = std::chrono::steady_clock::now();
            form->SetQuestionSet(&job.set());
            form->SetFormMode(fmSingle);
            form->ShowForm();
            if (!painted.wait() || job.set().First()->Choices.size() != ValueCount) {
                state.SkipWithError("the list did not fill or paint");
                break;
            }
            state.SetIterationTime(seconds(start));
            closeForm(std::move(form));
        }
    });
}
BENCHMARK(BM_SqlListRefillAndFirstPaint)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

// The refill alone: the rows over loopback into the question, without a dialog.
void BM_SqlListRefillAlone(benchmark::State &state) {
    runSqlListJob(state, [](benchmark::State &state, SqlListJob &job) {
        for (auto _ : state) {
            const auto start = std::chrono::steady_clock::now();
            job.manager->RefreshSqlList(job.set().First());
            state.SetIterationTime(seconds(start));
        }
    });
}
BENCHMARK(BM_SqlListRefillAlone)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TAesUse::Init(); // secure answers are held encrypted
    // Fonts and styles are loaded once, before anything is measured.
    {
        ListJob warm({"a", "b"});
        auto form = presentedForm(warm.manager, warm.set());
        form->SetQuestionSet(&warm.set());
        form->ShowForm();
        PaintWatch(static_cast<TListQuestionForm &>(*form).ListDG->viewport()).wait();
        closeForm(std::move(form));
        values();
    }
    return RunBenchmarks(argc, argv);
}
