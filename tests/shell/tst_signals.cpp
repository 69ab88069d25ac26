// The real program, started as a process: termination signals close it in
// order, and the maintenance command runs without a display.
#include "TestSupport.h"
#include "UDM.h"

#include <QProcess>
#include <QtTest>

#include <csignal>

class TstSignals : public QObject {
    Q_OBJECT

private:
    static QString Program() { return qEnvironmentVariable("QV_BUILD_DIR") + QStringLiteral("/quorvent"); }

private slots:
    void initTestCase() {
        if (!QFile::exists(Program()))
            QSKIP("the program is not built");
    }

    void signalClosesInOrder_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void signalClosesInOrder() {
        QFETCH(int, signal);
        TempDataHome home;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", home.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        p.start(Program(), {"--print-ready"});
        QVERIFY(p.waitForStarted(30000));
        QByteArray out;
        while (!out.contains("Quorvent bereit") && p.waitForReadyRead(60000))
            out += p.readAllStandardOutput();
        QVERIFY2(out.contains("Quorvent bereit"), p.readAllStandardError().constData());
        QCOMPARE(::kill(pid_t(p.processId()), signal), 0);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);

        // The main window went through its close: the window settings are there.
        ScriptedMessages msgs;
        TDM dm;
        dm.OpenDatabaseFile(home.dataFolder() + "Quorvent.DB");
        for (const char* key : {"WindowLeft", "WindowTop", "WindowWidth", "WindowHeight", "WindowState"})
            QVERIFY2(!dm.GetAllg(key).isEmpty(), key);
        // The design width plus whatever frame the window system adds.
        QVERIFY(dm.GetAllg("WindowWidth").toInt() >= 1022);
    }

    void upgradeCommandNeedsNoDisplay() {
        TempDataHome home;
        const QString file = home.path() + "/alt.DB";
        {
            TDM old;
            old.SQLiteDB1.FileName = file;
            old.SQLiteDB1.Open();
            old.CreateMissingTables();
            old.UpgradeSchema(12);
        }
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        p.setProcessEnvironment(env);
        p.start(Program(), {"--upgrade", file});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        TDM dm;
        dm.SQLiteDB1.FileName = file;
        dm.SQLiteDB1.Open();
        QCOMPARE(dm.GetDBVersion(), 16);
    }
};

QTEST_GUILESS_MAIN(TstSignals)
#include "tst_signals.moc"
