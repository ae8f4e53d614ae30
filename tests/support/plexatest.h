#ifndef PLEXATEST_H
#define PLEXATEST_H

// Tests of widget-free code define PLEXA_TEST_CORE and run without a GUI application.
#ifdef PLEXA_TEST_CORE
#include <QCoreApplication>
#define PLEXA_TEST_APPLICATION QCoreApplication
#else
#include <QApplication>
#define PLEXA_TEST_APPLICATION QApplication
#endif
#include <QTemporaryDir>
#include <QtTest>

namespace PlexaTest {
// Prepares the process for a test run: offscreen platform, HOME in a fresh temporary folder
// (so per-user files never touch the real home), the time scale from PLEXA_TEST_TIME_SCALE
// (default 0.02: a prescribed wait of 5 s takes 100 ms) and a clean environment for endpoints.
// Returns the temporary home, which lives until the process ends.
QTemporaryDir* prepareEnvironment();
// Folder of committed test data files (tests/data).
QString dataPath(const QString& name);
// Folder of the real monitors' EDIDs shared with the project.
QString edidCorpusDir();
// A file's bytes; empty when it cannot be read.
QByteArray readFile(const QString& path);
// Writes `bytes` as the whole file, creating its folder; a failure fails the running test.
void writeFile(const QString& path, const QByteArray& bytes);
} // namespace PlexaTest

// Like QTEST_MAIN, after PlexaTest::prepareEnvironment().
#define PLEXA_TEST_MAIN(TestObject)                         \
    int main(int argc, char* argv[])                        \
    {                                                       \
        PlexaTest::prepareEnvironment();                    \
        PLEXA_TEST_APPLICATION app(argc, argv);             \
        app.setAttribute(Qt::AA_Use96Dpi, true);            \
        TestObject tc;                                      \
        QTEST_SET_MAIN_SOURCE_PATH                          \
        return QTest::qExec(&tc, argc, argv);               \
    }

#endif // PLEXATEST_H
