// SPDX-License-Identifier: MIT
// Load, start, stop and unload of 200 configured tasks by the controller, in process, with the
// sample task plug-in. For comparison, the same 200 objects created, started, stopped and
// released straight through the component runtime, without the controller.
#include "BenchSandbox.h"
#include "OrvantisControllerImpl.h"
#include "ZvComRuntime.h"

#include <QDir>

#include <benchmark/benchmark.h>

#include <vector>

using namespace orvantis;

namespace {

constexpr int kTasks = 200;

struct TaskSet {
    QString configuration;
    QStringList progIds;
    std::vector<QUuid> classIds;
};

const TaskSet &taskSet() {
    static const TaskSet set = [] {
        TaskSet s;
        const BenchSandbox &sandbox = BenchSandbox::current();
        for (int i = 0; i < kTasks; ++i) {
            s.progIds << QStringLiteral("Zv.CycleTask%1").arg(i, 3, 10, QLatin1Char('0'));
            s.classIds.push_back(sandbox.registerTask(s.progIds.last()));
        }
        QDir().mkpath(sandbox.path(QStringLiteral("cycle")));
        s.configuration = sandbox.path(QStringLiteral("cycle/comorvantis.config"));
        BenchSandbox::writeConfiguration(s.configuration, s.progIds);
        return s;
    }();
    return set;
}

bool allSucceeded(std::initializer_list<zv::HRESULT> results) {
    for (zv::HRESULT hr : results)
        if (hr != zv::S_OK)
            return false;
    return true;
}

// One untimed cycle that checks every task was hosted and running (and loads the library).
bool checkedCycle(COrvantisControllerImpl &controller, const QStringList &progIds) {
    if (controller.LoadAllTasks() != zv::S_OK || controller.StartAllTasks() != zv::S_OK)
        return false;
    for (const QString &id : progIds) {
        zv::ZvComPtr<IOrvantisTask> task;
        bool running = false;
        if (controller.GetHostedTask(id, task.put()) != zv::S_OK || !task ||
            task->get_IsRunning(&running) != zv::S_OK || !running)
            return false;
    }
    return controller.StopAllTasks() == zv::S_OK && controller.UnloadAllTasks() == zv::S_OK;
}

void BM_ControllerCycle200Tasks(benchmark::State &state) {
    const TaskSet &set = taskSet();
    auto *controller = new COrvantisControllerImpl(set.configuration);
    controller->FinalConstruct();
    if (controller->configuredTasks().size() != kTasks || !checkedCycle(*controller, set.progIds)) {
        controller->Release();
        state.SkipWithError("the 200 sample tasks were not all hosted");
        return;
    }
    for (auto _ : state) {
        if (!allSucceeded({controller->LoadAllTasks(), controller->StartAllTasks(),
                           controller->StopAllTasks(), controller->UnloadAllTasks()})) {
            state.SkipWithError("a controller step failed");
            break;
        }
    }
    controller->Release();
    state.SetItemsProcessed(state.iterations() * kTasks);
}
BENCHMARK(BM_ControllerCycle200Tasks)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DirectCycle200Tasks(benchmark::State &state) {
    const TaskSet &set = taskSet();
    std::vector<zv::ZvComPtr<IOrvantisTask>> tasks(kTasks);
    for (auto _ : state) {
        bool ok = true;
        for (int i = 0; i < kTasks; ++i)
            ok = ok &&
                 zv::CoCreateInstance(set.classIds[size_t(i)], nullptr, zv::CLSCTX_ALL,
                                      IID_IOrvantisTask, tasks[size_t(i)].putVoid()) == zv::S_OK;
        for (auto &task : tasks)
            ok = ok && task && task->Start() == zv::S_OK;
        for (auto it = tasks.rbegin(); it != tasks.rend(); ++it)
            ok = ok && *it && (*it)->Stop() == zv::S_OK;
        for (auto it = tasks.rbegin(); it != tasks.rend(); ++it)
            it->reset();
        if (!ok) {
            state.SkipWithError("a sample task failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kTasks);
}
BENCHMARK(BM_DirectCycle200Tasks)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
