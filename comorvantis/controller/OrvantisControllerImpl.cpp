// SPDX-License-Identifier: MIT
#include "OrvantisControllerImpl.h"

#include "ZvComError.h"
#include "ZvComRuntime.h"
#include "ZvLogManager.h"
#include "ZvMisc.h"
#include "ZvProcessInfo.h"
#include "ZvScopeTrace.h"
#include "ZvXmlParser.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

using namespace orvantis;
using zv::HRESULT;
using zv::ZvComPtr;

namespace {

QString scopeName(const char *method) {
    return QStringLiteral("COrvantisControllerImpl::") + QLatin1String(method);
}

// Releases the object lock for the duration of a task's Start or Stop and takes it again
// however the call ends.
class LockReleaser {
public:
    explicit LockReleaser(std::recursive_mutex &lock) : m_lock(lock) { m_lock.unlock(); }
    ~LockReleaser() { m_lock.lock(); }
    LockReleaser(const LockReleaser &) = delete;
    LockReleaser &operator=(const LockReleaser &) = delete;

private:
    std::recursive_mutex &m_lock;
};

// Creates a component the way tasks are created: any server context, asked for IUnknown,
// put into the running state, then queried for the interface. E_NOINTERFACE at any step
// gives an empty reference; any other failure throws.
void *createComponent(const QString &identifier, const QUuid &iid) {
    QUuid clsid;
    HRESULT hr = identifier.startsWith(QLatin1Char('{')) ? zv::CLSIDFromString(identifier, &clsid)
                                                         : zv::CLSIDFromProgID(identifier, &clsid);
    ZvComPtr<zv::IUnknown> unknown;
    if (zv::succeeded(hr))
        hr = zv::CoCreateInstance(clsid, nullptr, zv::CLSCTX_ALL, zv::IID_IUnknown,
                                  unknown.putVoid());
    if (zv::succeeded(hr))
        hr = zv::OleRun(unknown.get());
    void *result = nullptr;
    if (zv::succeeded(hr))
        hr = unknown->QueryInterface(iid, &result);
    if (hr == zv::E_NOINTERFACE)
        return nullptr;
    ZvCheck(hr);
    return result;
}

// Reads the file whole; returns 0 or the system error number.
int readWholeFile(const QString &path, QByteArray *bytes) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    char buffer[65536];
    int error = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error = errno;
        if (n <= 0)
            break;
        bytes->append(buffer, n);
    }
    ::close(fd);
    return error;
}

} // namespace

QString COrvantisControllerImpl::defaultConfigurationPath() {
    return zv::modulePath() + QStringLiteral(".config");
}

COrvantisControllerImpl::COrvantisControllerImpl(QString configurationPath, ServerLock serverLock)
    : m_configurationPath(std::move(configurationPath)), m_serverLock(std::move(serverLock)) {}

COrvantisControllerImpl::~COrvantisControllerImpl() = default;

void COrvantisControllerImpl::FinalConstruct() {
    ReadXmlConfigurationFile();
    // Sockets need no process-wide start-up here.
}

void COrvantisControllerImpl::ReadXmlConfigurationFile() {
    QByteArray bytes;
    const int error = readWholeFile(m_configurationPath, &bytes);
    if (error != 0) {
        ZvLogWarning(QStringLiteral("Failed to load config file '%s'. %s"),
                     {m_configurationPath, ZvMisc::GetSystemMessage(error)});
        return;
    }
    ParseXmlConfigurationFile(QString::fromLocal8Bit(bytes));
}

std::optional<QStringList> COrvantisControllerImpl::tasksFromConfiguration(const QString &text) {
    ZvXmlParser parser;
    if (!parser.parse(text) || parser.localName(parser.root()) != QLatin1String("configuration"))
        return std::nullopt;
    QStringList tasks;
    const int tasksElement = parser.firstChildNamed(parser.root(), QStringLiteral("tasks"));
    if (tasksElement >= 0) {
        for (int task : parser.childrenNamed(tasksElement, QStringLiteral("task")))
            tasks.append(parser.text(task));
    }
    return tasks;
}

void COrvantisControllerImpl::ParseXmlConfigurationFile(const QString &text) {
    std::optional<QStringList> tasks = tasksFromConfiguration(text);
    if (!tasks) {
        ZvLogWarning(QStringLiteral("Xml configuration is not well formed."));
        return;
    }
    std::lock_guard guard(m_lock);
    m_configuredTasks = std::move(*tasks);
}

QStringList COrvantisControllerImpl::configuredTasks() const {
    std::lock_guard guard(m_lock);
    return m_configuredTasks;
}

bool COrvantisControllerImpl::tasksStarted() const {
    std::lock_guard guard(m_lock);
    return m_tasksStarted;
}

HRESULT COrvantisControllerImpl::QueryInterface(const QUuid &iid, void **object) {
    if (!object)
        return zv::E_POINTER;
    if (iid == zv::IID_IUnknown || iid == IID_IOrvantisController) {
        *object = static_cast<IOrvantisController *>(this);
        AddRef();
        return zv::S_OK;
    }
    *object = nullptr;
    return zv::E_NOINTERFACE;
}

quint32 COrvantisControllerImpl::AddRef() {
    const quint32 count = ++m_refCount;
    if (count == 2 && m_serverLock)
        m_serverLock(true);
    return count;
}

quint32 COrvantisControllerImpl::Release() {
    const quint32 count = --m_refCount;
    if (count == 1 && m_serverLock)
        m_serverLock(false);
    if (count == 0)
        delete this;
    return count;
}

bool COrvantisControllerImpl::guarded(const ZvScopeTrace &trace,
                                      const std::function<void()> &step) {
    try {
        step();
        return true;
    } catch (const ZvComError &e) {
        trace.reportComError(e);
    } catch (const zv::ZvError &e) {
        trace.reportException(e.message());
    } catch (const std::exception &e) {
        trace.reportException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        trace.reportException(QString());
    }
    return false;
}

HRESULT COrvantisControllerImpl::methodBoundary(const ZvScopeTrace &trace,
                                                const std::function<HRESULT()> &body) {
    try {
        return body();
    } catch (const ZvComError &e) {
        return trace.reportComError(e);
    } catch (const zv::ZvError &e) {
        trace.reportException(e.message());
    } catch (const std::exception &e) {
        trace.reportException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        trace.reportException(QString());
    }
    return zv::E_FAIL;
}

void COrvantisControllerImpl::loadTask(const QString &identifier) {
    ZvLogDebug(2, QStringLiteral("Loading task '%s'"), {identifier});
    auto *task = static_cast<IOrvantisTask *>(createComponent(identifier, IID_IOrvantisTask));
    m_hostedTasks[identifier] = ZvComPtr<IOrvantisTask>::adopt(task);
    ZvLogDebug(2, QStringLiteral("Loaded task '%s'"), {identifier});
}

HRESULT COrvantisControllerImpl::LoadAllTasks() {
    const ZvScopeTrace trace(scopeName("LoadAllTasks"), 0);
    std::lock_guard guard(m_lock);
    for (qsizetype i = 0; i < m_configuredTasks.size(); ++i) {
        const QString identifier = m_configuredTasks.at(i);
        if (m_hostedTasks.count(identifier) == 0)
            guarded(trace, [&] { loadTask(identifier); });
    }
    return zv::S_OK;
}

void COrvantisControllerImpl::callUnlocked(const QString &identifier, IOrvantisTask *task,
                                           HRESULT (IOrvantisTask::*method)(), const char *before,
                                           const char *after) {
    ZvLogDebug(2, QLatin1String(before), {identifier});
    HRESULT hr;
    {
        LockReleaser unlocked(m_lock);
        hr = (task->*method)();
    }
    ZvLogDebug(2, QLatin1String(after), {identifier});
    ZvCheck(hr);
}

HRESULT COrvantisControllerImpl::forEachHostedTask(const ZvScopeTrace &trace, bool reverse,
                                                   const TaskStep &step) {
    HRESULT result = zv::S_OK;
    // Positions, not iterators: the lock is released around every Start and Stop.
    const qsizetype count = m_configuredTasks.size();
    for (qsizetype n = 0; n < count; ++n) {
        const qsizetype i = reverse ? count - 1 - n : n;
        if (i >= m_configuredTasks.size())
            continue;
        const QString identifier = m_configuredTasks.at(i);
        const auto it = m_hostedTasks.find(identifier);
        if (it == m_hostedTasks.end())
            continue; // failed to load: passed over silently
        const ZvComPtr<IOrvantisTask> task = it->second;
        const bool ok = guarded(trace, [&] {
            if (!task)
                throw ZvComError(zv::E_POINTER);
            step(identifier, task.get());
        });
        if (!ok)
            result = zv::E_FAIL;
    }
    return result;
}

HRESULT COrvantisControllerImpl::StartAllTasks() {
    const ZvScopeTrace trace(scopeName("StartAllTasks"), 0);
    std::lock_guard guard(m_lock);
    const HRESULT result =
        forEachHostedTask(trace, false, [this](const QString &identifier, IOrvantisTask *task) {
            bool running = false;
            ZvCheck(task->get_IsRunning(&running));
            if (!running)
                callUnlocked(identifier, task, &IOrvantisTask::Start, "Starting task '%s'",
                             "Started task '%s'");
        });
    m_tasksStarted = true;
    return result;
}

HRESULT COrvantisControllerImpl::StopAllTasks() {
    const ZvScopeTrace trace(scopeName("StopAllTasks"), 0);
    std::lock_guard guard(m_lock);
    const HRESULT result =
        forEachHostedTask(trace, true, [this](const QString &identifier, IOrvantisTask *task) {
            callUnlocked(identifier, task, &IOrvantisTask::Stop, "Stopping task '%s'",
                         "Stopped task '%s'");
        });
    m_tasksStarted = false;
    return result;
}

HRESULT COrvantisControllerImpl::UnloadAllTasks() {
    const ZvScopeTrace trace(scopeName("UnloadAllTasks"), 0);
    std::lock_guard guard(m_lock);
    for (qsizetype i = m_configuredTasks.size() - 1; i >= 0; --i) {
        const auto it = m_hostedTasks.find(m_configuredTasks.at(i));
        if (it != m_hostedTasks.end())
            it->second.reset();
    }
    m_hostedTasks.clear();
    return zv::S_OK;
}

HRESULT COrvantisControllerImpl::GetHostedTask(const QString &taskProgId, IOrvantisTask **task) {
    const ZvScopeTrace trace(scopeName("GetHostedTask"), 0);
    return methodBoundary(trace, [&] {
        if (!task)
            throw ZvComError(zv::E_POINTER);
        *task = nullptr;
        std::lock_guard guard(m_lock);
        const auto it = m_hostedTasks.find(taskProgId);
        if (it != m_hostedTasks.end())
            *task = ZvComPtr<IOrvantisTask>(it->second).detach();
        return zv::S_OK;
    });
}

HRESULT COrvantisControllerImpl::CreateEventServer(IServerNotifications **eventServer) {
    const ZvScopeTrace trace(scopeName("CreateEventServer"), 0);
    return methodBoundary(trace, [&] {
        if (!eventServer)
            throw ZvComError(zv::E_POINTER);
        *eventServer = static_cast<IServerNotifications *>(
            createComponent(ProgID_ServerNotifications, IID_IServerNotifications));
        return zv::S_OK;
    });
}

HRESULT COrvantisControllerImpl::get_SettingsManager(ISettings **settingsManager) {
    const ZvScopeTrace trace(scopeName("get_SettingsManager"), 0);
    return methodBoundary(trace, [&] {
        if (!settingsManager)
            throw ZvComError(zv::E_POINTER);
        *settingsManager = nullptr;
        std::lock_guard guard(m_lock);
        const auto it = m_hostedTasks.find(ProgID_SettingsTask);
        if (it != m_hostedTasks.end() && it->second) {
            void *settings = nullptr;
            if (zv::succeeded(it->second->QueryInterface(IID_ISettings, &settings)))
                *settingsManager = static_cast<ISettings *>(settings);
        }
        return zv::S_OK;
    });
}
