// SPDX-License-Identifier: MIT
// The task controller: reads the task list from the configuration file beside the executable,
// creates, starts, stops and releases the tasks, and hands them out to clients.
#pragma once

#include "OrvantisInterfaces.h"

#include <QStringList>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

class ZvScopeTrace;

class COrvantisControllerImpl final : public orvantis::IOrvantisController {
public:
    // Called with true when the first reference beyond the factory's is taken and with false
    // when it goes again: the server's external lock.
    using ServerLock = std::function<void(bool)>;

    // The executable's path followed by ".config".
    static QString defaultConfigurationPath();

    // Starts with one reference, owned by the creator.
    COrvantisControllerImpl(QString configurationPath, ServerLock serverLock = {});
    COrvantisControllerImpl(const COrvantisControllerImpl &) = delete;
    COrvantisControllerImpl &operator=(const COrvantisControllerImpl &) = delete;

    void FinalConstruct();
    void ReadXmlConfigurationFile();
    void ParseXmlConfigurationFile(const QString &text);
    // The task identifiers of a configuration text in file order; nullopt when the text is not
    // well formed or its root is not "configuration".
    static std::optional<QStringList> tasksFromConfiguration(const QString &text);

    QStringList configuredTasks() const;
    bool tasksStarted() const;

    zv::HRESULT QueryInterface(const QUuid &iid, void **object) override;
    quint32 AddRef() override;
    quint32 Release() override;

    zv::HRESULT StartAllTasks() override;
    zv::HRESULT StopAllTasks() override;
    zv::HRESULT LoadAllTasks() override;
    zv::HRESULT UnloadAllTasks() override;
    zv::HRESULT GetHostedTask(const QString &taskProgId, orvantis::IOrvantisTask **task) override;
    zv::HRESULT CreateEventServer(orvantis::IServerNotifications **eventServer) override;
    zv::HRESULT get_SettingsManager(orvantis::ISettings **settingsManager) override;

private:
    ~COrvantisControllerImpl();

    void loadTask(const QString &identifier);
    using TaskStep = std::function<void(const QString &identifier, orvantis::IOrvantisTask *task)>;
    // Runs a step for every configured task that loaded, in file order or reversed; a failing
    // task (an empty reference among them) is reported and makes the result E_FAIL.
    zv::HRESULT forEachHostedTask(const ZvScopeTrace &trace, bool reverse, const TaskStep &step);
    // Logs before and after a task's Start or Stop, called with the object lock released.
    void callUnlocked(const QString &identifier, orvantis::IOrvantisTask *task,
                      zv::HRESULT (orvantis::IOrvantisTask::*method)(), const char *before,
                      const char *after);
    // Runs one step of a loop; a failure is reported and gives false.
    static bool guarded(const ZvScopeTrace &trace, const std::function<void()> &step);
    // Runs a method body; returns the COM failure's code, or E_FAIL for other failures.
    static zv::HRESULT methodBoundary(const ZvScopeTrace &trace,
                                      const std::function<zv::HRESULT()> &body);

    const QString m_configurationPath;
    const ServerLock m_serverLock;
    std::atomic<quint32> m_refCount{1};

    mutable std::recursive_mutex m_lock;
    QStringList m_configuredTasks;
    std::map<QString, zv::ZvComPtr<orvantis::IOrvantisTask>> m_hostedTasks;
    bool m_tasksStarted = false;
};
