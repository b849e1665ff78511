#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

class QProcess;

namespace testsupport {

// ThreadSanitizer cannot follow a child process that Qt starts (the child runs on the
// parent's sanitizer state), so tests that start one skip themselves under it.
#ifdef VRIM_TSAN_BUILD
#define SKIP_CHILD_PROCESS_UNDER_TSAN() \
  GTEST_SKIP() << "starts a child process, which ThreadSanitizer cannot follow"
#else
#define SKIP_CHILD_PROCESS_UNDER_TSAN() static_cast<void>(0)
#endif

// Points XDG_CONFIG_HOME at a private temporary folder for the whole test run, so
// that no test reads or writes the user's real profile.
void isolateConfigHome();

// A temporary folder for one test, with a profile store of its own inside it that is
// installed as the process's profile while the object lives.
// Sets the process's time zone (TZ) while the object lives, and the one before it again afterwards.
class ScopedTimeZone {
public:
  explicit ScopedTimeZone(const char* zone);
  ~ScopedTimeZone();

private:
  QByteArray m_saved;
  bool m_wasSet;
};

class TempProfile {
public:
  TempProfile();
  ~TempProfile();
  QString dir() const { return m_dir.path(); }
  QString file(const QString& name) const { return m_dir.filePath(name); }
  QString iniPath() const;

private:
  QTemporaryDir m_dir;
};

QByteArray readWholeFile(const QString& path);
void writeWholeFile(const QString& path, const QByteArray& bytes);
QByteArray hex(const char* spaced);  // "20 55 E8" -> bytes

// Starts this test program again as `child`, running only the tests `filter` names, with the variables
// ("NAME=value") set: a test's child half, in a process of its own.
void startChildHalf(QProcess& child, const char* filter, const QStringList& variables);

// Another program (a shell) holds the file open for writing (appending, so nothing
// changes) or for reading until its standard input closes; true once it holds it.
bool holdInOtherProgram(QProcess& holder, const QString& path, bool forWriting);
// Ends the hold: true when the program has ended, its handle with it.
bool releaseHold(QProcess& holder);

// Starts the program itself (vrim, built beside the test binaries) as `child`, with the arguments and the
// variables ("NAME=value") set. Its error output goes to the test's.
void startProgram(QProcess& child, const QStringList& arguments, const QStringList& variables);
// Ends a child that has no way to be asked (SIGTERM, then SIGKILL).
void endChild(QProcess& child);

// Whether `call` returns within 20 s on another thread; a call stuck on the FIFO is then freed by opening
// the FIFO's other end, so that the test can end. The call's result goes to `result`.
bool returnsAtOnce(const QString& fifo, const std::function<bool()>& call, bool& result);

// Runs the event loop until pred is true or the time runs out; returns pred().
bool waitFor(const std::function<bool()>& pred, int timeoutMs = 5000);

}  // namespace testsupport
