// SPDX-License-Identifier: MIT
// The cost-center dialog offscreen: a search answer of 10,000 codes from the rows to the
// painted grid, against filling and painting a bare QTableView with the same rows; the column
// widths of 25 history rows of 10 levels; one step of the shortcuts pane's slide.
#include "BenchRun.h"
#include "CostCenterQuestionFrm.h"

#include <QApplication>
#include <QStandardItemModel>
#include <QTableView>

#include <benchmark/benchmark.h>

namespace {

constexpr int kCodes = 10000;

const TCostCenterList &searchRows() {
    static const TCostCenterList rows = [] {
        TCostCenterList list;
        list.reserve(kCodes);
        for (int i = 0; i < kCodes; ++i)
            list.append({QStringLiteral("C%1").arg(i, 5, 10, QLatin1Char('0')),
                         QStringLiteral("Client number %1 of the firm").arg(i)});
        return list;
    }();
    return rows;
}

// A dialog as the host shows it, with no job behind it.
struct ShownDialog {
    ShownDialog() {
        form.resize(TQuestionForm::DesignWidth, TQuestionForm::DesignHeight);
        form.show();
        QApplication::processEvents();
    }
    TCostCenterQuestionForm form;
};

void BM_SearchResultToPaintedGrid(benchmark::State &state) {
    ShownDialog shown;
    for (auto _ : state) {
        shown.form.FillGrid(searchRows());
        shown.form.DataDG->viewport()->repaint();
        state.PauseTiming();
        shown.form.FillGrid({});
        state.ResumeTiming();
    }
    state.counters["rows"] = kCodes;
}
BENCHMARK(BM_SearchResultToPaintedGrid)->Unit(benchmark::kMillisecond);

void BM_BareTableViewSameRows(benchmark::State &state) {
    QTableView view;
    view.resize(380, 200);
    view.show();
    QApplication::processEvents();
    for (auto _ : state) {
        QStandardItemModel model(kCodes, 2);
        const TCostCenterList &rows = searchRows();
        for (int i = 0; i < kCodes; ++i) {
            model.setItem(i, 0, new QStandardItem(rows[i].Code));
            model.setItem(i, 1, new QStandardItem(rows[i].Description));
        }
        view.setModel(&model);
        view.viewport()->repaint();
        view.setModel(nullptr);
    }
    state.counters["rows"] = kCodes;
}
BENCHMARK(BM_BareTableViewSameRows)->Unit(benchmark::kMillisecond);

void BM_HistoryColumnWidths(benchmark::State &state) {
    ShownDialog shown;
    TCostCenterHistory history;
    history.CountCombinations = 25;
    history.CountCategories = 10;
    for (int r = 0; r < 25; ++r) {
        TCostCenterList row;
        for (int k = 0; k < 10; ++k)
            row.append({QStringLiteral("L%1-%2").arg(k).arg(r * 37),
                        QStringLiteral("Level %1 entry %2").arg(k).arg(r)});
        history.History.append(row);
    }
    shown.form.GridModel().SetHistory(history);
    for (auto _ : state)
        shown.form.ComputeColumnWidths();
}
BENCHMARK(BM_HistoryColumnWidths)->Unit(benchmark::kMicrosecond);

// One step moves the pane, resizes the grid beside it, recomputes its widths and repaints.
void BM_SlideStep(benchmark::State &state) {
    ShownDialog shown;
    TCostCenterHistory history;
    history.CountCombinations = 25;
    history.CountCategories = 2;
    for (int r = 0; r < 25; ++r)
        history.History.append({{QStringLiteral("D%1").arg(r), QStringLiteral("Department")},
                                {QStringLiteral("P%1").arg(r), QStringLiteral("Project")}});
    shown.form.GridModel().SetHistory(history);
    const int open = shown.form.ShortcutPnl->Left();
    int step = 0;
    for (auto _ : state) {
        shown.form.ShortcutPnl->SetLeft(open + (step++ % 12) * 10);
        shown.form.MainPanel->repaint();
    }
}
BENCHMARK(BM_SlideStep)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}
