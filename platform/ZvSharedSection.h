// SPDX-License-Identifier: MIT
// Named shared-memory sections of a fixed 16,384 bytes (POSIX shm_open + mmap), reached by the
// Windows-style names the programs pass around ("Local\zvjob.1234", "Global\X", "/zvjob.1").
#pragma once

#include "ZvError.h"

#include <QByteArray>
#include <QString>

#include <memory>

#include <sys/types.h>

namespace zv {

constexpr qsizetype kSectionSize = 16384;

// The POSIX object name for a section or event name: "Global\X" -> "/zorvant.X",
// "Local\X" -> "/zorvant.<uid>.X", "/X" stays, any other "N" -> "/N"; a backslash or slash
// after the leading one becomes '.'. A result that would start with "sem." (the namespace
// of named semaphores) gets a leading '_'. ZORVANT_OBJECT_NAMESPACE, when set, takes the
// place of "zorvant".
QByteArray posixObjectName(const QString &name);

// The default mode a name's objects are created with: 0660 for "Global\" names (shared by
// the users of a group), 0600 for every other name.
mode_t defaultObjectMode(const QString &name);

// A section that cannot be opened or mapped. errorCode() is the errno value; the message is
// "Failed to open map file. Error:<code>" or "Failed to map memory file. Error:<code>"
// (and "Failed to create map file. Error:<code>" for create).
class ZvSectionError : public ZvError {
public:
    enum class Stage { Open, Map, Create };
    ZvSectionError(Stage stage, int errorCode);
    Stage stage() const { return m_stage; }
    int errorCode() const { return m_errorCode; }

private:
    Stage m_stage;
    int m_errorCode;
};

// One mapping of a whole section, read-write. Unmapped when destroyed; the section itself
// lives on until it is unlinked.
class ZvSharedSection {
public:
    // Maps an existing section; never creates one. A section shorter than kSectionSize fails
    // with Stage::Map and EINVAL instead of faulting on access later.
    static std::unique_ptr<ZvSharedSection> open(const QString &name);
    // Creates the section (size kSectionSize, zero-filled, mode as given or by name, unaffected
    // by the umask) or maps it when it already exists. *created tells which happened.
    static std::unique_ptr<ZvSharedSection> create(const QString &name, mode_t mode = 0,
                                                   bool *created = nullptr);
    // Removes the name; mappings already made stay valid. False when it did not exist.
    static bool unlink(const QString &name);

    ~ZvSharedSection();
    ZvSharedSection(const ZvSharedSection &) = delete;
    ZvSharedSection &operator=(const ZvSharedSection &) = delete;

    char *data() const { return m_data; }
    qsizetype size() const { return kSectionSize; }
    const QString &name() const { return m_name; }

private:
    ZvSharedSection(QString name, char *data) : m_name(std::move(name)), m_data(data) {}
    static std::unique_ptr<ZvSharedSection> mapOpenDescriptor(const QString &name, int fd);

    QString m_name;
    char *m_data = nullptr;
};

} // namespace zv
