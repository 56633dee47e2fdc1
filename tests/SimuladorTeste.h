#pragma once
// The simulated concentrator for tests: started beside the test executable on a temporary link and
// control socket, driven with its "ctl" commands.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

// The child dies with the test process, however that ends (a watchdog abort included): a child
// left running would hold ctest's output pipe and the whole run would wait for it.
inline void MorreComOTeste(QProcess& processo)
{
    const pid_t pai = ::getpid();
    processo.setChildProcessModifier([pai] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != pai) // the test ended before the line above
            ::_exit(127);
    });
}

inline QString Executavel(const QString& nome)
{
    return QCoreApplication::applicationDirPath() + "/" + nome;
}

// Copies the program and the library it loads into `pasta`, so that what it writes beside itself
// stays there; the copy's path, or empty on failure.
inline QString CopiaPrograma(const QString& pasta)
{
    for (const QString nome : {"linkor", "libCompanytec.so"})
        if (!QFile::copy(Executavel(nome), pasta + "/" + nome))
            return {};
    return pasta + "/linkor";
}

inline bool EsperaArquivo(const QString& caminho, bool existir)
{
    QElapsedTimer relogio;
    relogio.start();
    while (QFileInfo(caminho).exists() != existir) {
        if (relogio.elapsed() > 5000)
            return false;
        QTest::qWait(20);
    }
    return true;
}

class TSimuladorTeste {
public:
    QString Link;
    QString Controle;
    QProcess Simulador;

    bool IniciaSimulador(const QStringList& extras = {"--bicos", "04,05,44,45"})
    {
        Simulador.setProgram(Executavel("concentrador-sim"));
        Simulador.setArguments(QStringList{"--link", Link, "--controle", Controle} + extras);
        Simulador.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        MorreComOTeste(Simulador);
        Simulador.start();
        return Simulador.waitForStarted(5000) && EsperaArquivo(Controle, true) && EsperaArquivo(Link, true);
    }

    // A power cut of the concentrator: killed outright. Its link is taken away at once: the pseudo-
    // terminal it named is free now, and another test's simulator running in parallel may get the
    // same one, which a stale link would hand to this test's driver.
    bool MataSimulador()
    {
        ::kill(static_cast<pid_t>(Simulador.processId()), SIGKILL);
        const bool terminou = Simulador.waitForFinished(5000);
        QFile::remove(Link);
        return terminou;
    }

    // Started on a link and a control socket of its own inside `pasta`.
    bool IniciaSimuladorNaPasta(const QString& pasta)
    {
        Link = pasta + "/ttyCONC";
        Controle = pasta + "/sim.sock";
        return IniciaSimulador();
    }

    // One control command; the answer's text, or a failure naming the refusal.
    QString Ctl(const QStringList& argumentos, bool* aceito = nullptr)
    {
        QProcess ctl;
        MorreComOTeste(ctl);
        ctl.start(Executavel("concentrador-sim"), QStringList{"ctl", Controle} + argumentos);
        const bool terminou = ctl.waitForFinished(5000);
        if (aceito)
            *aceito = terminou && ctl.exitStatus() == QProcess::NormalExit && ctl.exitCode() == 0;
        else if (!terminou || ctl.exitCode() != 0)
            qWarning() << "ctl" << argumentos << "refused:" << ctl.readAllStandardError();
        return QString::fromUtf8(ctl.readAllStandardOutput()).trimmed();
    }

    QString Estado(const QString& chave)
    {
        for (const QString& linha : Ctl({"estado"}).split('\n'))
            if (linha.startsWith(chave + "="))
                return linha.mid(chave.size() + 1);
        return QStringLiteral("(ausente)");
    }
};
