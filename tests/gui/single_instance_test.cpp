// The program itself, started as a user would start it: one instance per user and
// settings store, however the starts race, and whatever sits at the socket's place.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <memory>

#include "platform/instance_handshake.h"

namespace {

// Each program started ends within this time once asked to.
constexpr int kEndMs = 20000;

// The socket file of a program that ended without removing it.
bool leaveDeadSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = path.toLocal8Bit();
    if (fd < 0 || name.size() >= static_cast<qsizetype>(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir scratch_;

    QString runtimeFolder() const { return scratch_.filePath(QStringLiteral("runtime")); }
    QString settingsPath() const { return scratch_.filePath(QStringLiteral("settings.reg")); }
    QString socketPath() const {
        return runtimeFolder() + QStringLiteral("/corvane/") +
               QString::fromStdString(platform::instanceName(settingsPath().toStdString())) +
               QStringLiteral(".socket");
    }

    std::unique_ptr<QProcess> start() {
        auto program = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder());
        environment.insert(QStringLiteral("CORVANE_SETTINGS"), settingsPath());
        if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program->setProcessEnvironment(environment);
        program->setStandardErrorFile(QProcess::nullDevice());
        program->start(QStringLiteral(CORVANE_PROGRAM), {});
        return program;
    }

    static bool running(const QProcess& program) { return program.state() != QProcess::NotRunning; }

    // Ends a program as a logout does; false when it does not end.
    static bool end(QProcess& program) {
        if (!running(program))
            return true;
        program.terminate();
        return program.waitForFinished(kEndMs);
    }

    // Waits until a program answers at the socket, as a later start would find it.
    bool answers() const {
        return platform::askInstanceToRaise(socketPath().toStdString(), std::chrono::seconds(1));
    }

  private slots:
    void initTestCase() {
        QVERIFY(scratch_.isValid());
        QVERIFY(QDir().mkpath(runtimeFolder()));
        QVERIFY(QFile::setPermissions(runtimeFolder(), QFileDevice::ReadOwner |
                                                           QFileDevice::WriteOwner |
                                                           QFileDevice::ExeOwner));
    }

    // Two starts at the same moment, many times over: one of them is the program, the
    // other is answered by it and ends with code 0.
    void twoSimultaneousStartsGiveOneProgram() {
        const int rounds = qEnvironmentVariableIntValue("CORVANE_INSTANCE_ROUNDS") > 0
                               ? qEnvironmentVariableIntValue("CORVANE_INSTANCE_ROUNDS")
                               : 20;
        int twoPrograms = 0;
        for (int round = 0; round < rounds; ++round) {
            std::unique_ptr<QProcess> starts[] = {start(), start()};
            for (auto& program : starts)
                QVERIFY(program->waitForStarted(kEndMs));
            // The one that is not the program ends once the program answers.
            const bool oneEnded = QTest::qWaitFor(
                [&] { return !running(*starts[0]) || !running(*starts[1]); }, kEndMs);
            QTest::qWait(200);
            const int stillRunning = (running(*starts[0]) ? 1 : 0) + (running(*starts[1]) ? 1 : 0);
            if (!oneEnded || stillRunning != 1) {
                ++twoPrograms;
            } else {
                QProcess& ended = running(*starts[0]) ? *starts[1] : *starts[0];
                QCOMPARE(ended.exitStatus(), QProcess::NormalExit);
                QCOMPARE(ended.exitCode(), 0);
            }
            for (auto& program : starts)
                QVERIFY(end(*program));
        }
        qInfo("%d rounds of two simultaneous starts: %d gave two programs", rounds, twoPrograms);
        QCOMPARE(twoPrograms, 0);
    }

    // Whatever is found at the socket's place while no program runs (left behind, or
    // put there by someone) neither stops the start nor keeps later starts from
    // finding the program.
    void aForeignSocketDoesNotStopTheStart() {
        enum class Foreign { AnswersOtherwise, LeftBehind, File };
        const struct {
            const char* name;
            Foreign foreign;
        } cases[] = {
            {"a socket that answers otherwise", Foreign::AnswersOtherwise},
            {"a socket nobody listens at", Foreign::LeftBehind},
            {"a file", Foreign::File},
        };
        for (const auto& c : cases) {
            QVERIFY(QDir().mkpath(QFileInfo(socketPath()).path()));
            QFile::remove(socketPath());
            QLocalServer foreign;
            switch (c.foreign) {
                case Foreign::AnswersOtherwise:
                    QVERIFY2(foreign.listen(socketPath()), c.name);
                    connect(&foreign, &QLocalServer::newConnection, &foreign, [&] {
                        while (QLocalSocket* socket = foreign.nextPendingConnection())
                            socket->write("hello\n");
                    });
                    break;
                case Foreign::LeftBehind:
                    QVERIFY2(leaveDeadSocket(socketPath()), c.name);
                    break;
                case Foreign::File: {
                    QFile file(socketPath());
                    QVERIFY(file.open(QIODevice::WriteOnly));
                    break;
                }
            }

            std::unique_ptr<QProcess> first = start();
            QVERIFY2(QTest::qWaitFor([&] { return answers() || !running(*first); }, kEndMs),
                     c.name);
            QVERIFY2(running(*first), c.name);
            std::unique_ptr<QProcess> second = start();
            QVERIFY2(second->waitForFinished(kEndMs), c.name);
            QCOMPARE(second->exitCode(), 0);
            QVERIFY2(running(*first), c.name);
            QVERIFY(end(*first));
            QCOMPARE(first->exitCode(), 0);
        }
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "single_instance_test.moc"
