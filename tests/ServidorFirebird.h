#pragma once
// A Firebird server of the test's own: the installed /usr/sbin/firebird started on 127.0.0.1 with a
// free port, its configuration, lock files and security database (a fresh one, with a SYSDBA
// password made for this server alone) in a temporary folder, stopped by its process ID.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <csignal>
#include <sys/prctl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

class TServidorFirebird {
public:
    TServidorFirebird() = default;
    ~TServidorFirebird() { Para(); }
    TServidorFirebird(const TServidorFirebird&) = delete;
    TServidorFirebird& operator=(const TServidorFirebird&) = delete;

    // Starts the server; false with Motivo() when it cannot run here.
    bool Inicia()
    {
        const QString programa = QStringLiteral("/usr/sbin/firebird");
        const QString instalacao = QStringLiteral("/usr/lib/x86_64-linux-gnu/firebird/3.0");
        if (!QFile::exists(programa))
            return Falha(QStringLiteral("%1 não está instalado").arg(programa));
        if (!FPasta.isValid())
            return Falha(QStringLiteral("pasta temporária indisponível"));
        FPorta = PortaLivre();
        if (FPorta <= 0)
            return Falha(QStringLiteral("nenhuma porta TCP livre"));
        QDir pasta(FPasta.path());
        pasta.mkdir(QStringLiteral("lock"));
        for (const char* item : {"plugins.conf", "fbtrace.conf", "firebird.msg", "plugins", "UDF", "lib"})
            QFile::link(instalacao + '/' + QLatin1String(item), pasta.filePath(QLatin1String(item)));
        // The character sets must be real files: through a linked folder the server loads the
        // module but finds none of its character sets.
        pasta.mkdir(QStringLiteral("intl"));
        for (const char* item : {"intl/libfbintl.so", "intl/fbintl.conf"})
            if (!QFile::copy(instalacao + '/' + QLatin1String(item), pasta.filePath(QLatin1String(item))))
                return Falha(QStringLiteral("%1 não pôde ser copiado").arg(QLatin1String(item)));
        // A security database of its own, made now: the installed one may be held open by the
        // test process's embedded engine, and its SYSDBA password is the machine's business.
        const QString seguranca = pasta.filePath(QStringLiteral("security3.fdb"));
        if (!Escreve(pasta.filePath(QStringLiteral("databases.conf")),
                     QStringLiteral("security.db = %1\n").arg(seguranca))
            || !Escreve(pasta.filePath(QStringLiteral("firebird.conf")),
                        QStringLiteral("RemoteServicePort = %1\nRemoteBindAddress = 127.0.0.1\n"
                                       "SecurityDatabase = %2\n")
                            .arg(FPorta)
                            .arg(seguranca)))
            return Falha(QStringLiteral("configuração não pôde ser escrita"));
        if (!CriaSeguranca(pasta, seguranca))
            return false;

        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert(QStringLiteral("FIREBIRD"), pasta.path());
        ambiente.insert(QStringLiteral("FIREBIRD_LOCK"), pasta.filePath(QStringLiteral("lock")));
        FProcesso.setProcessEnvironment(ambiente);
        FProcesso.setProcessChannelMode(QProcess::MergedChannels);
        // a test that dies takes its server with it
        FProcesso.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        FPrograma = programa;
        return Retoma();
    }

    // Starts the stopped server again on the same port, with the same files.
    bool Retoma()
    {
        const QString& programa = FPrograma;
        FProcesso.start(programa, {});
        if (!FProcesso.waitForStarted(5000))
            return Falha(QStringLiteral("%1 não iniciou: %2").arg(programa, FProcesso.errorString()));
        QElapsedTimer espera;
        espera.start();
        while (espera.elapsed() < 15000) {
            if (FProcesso.state() != QProcess::Running)
                return Falha(QStringLiteral("o servidor terminou ao iniciar: %1")
                                 .arg(QString::fromLocal8Bit(FProcesso.readAll())));
            if (Atende())
                return true;
            QThread::msleep(100);
        }
        Para();
        return Falha(QStringLiteral("o servidor não atendeu na porta %1 em 15 s").arg(FPorta));
    }

    void Para()
    {
        if (FProcesso.state() == QProcess::NotRunning)
            return;
        FProcesso.terminate();
        if (!FProcesso.waitForFinished(5000)) {
            FProcesso.kill();
            FProcesso.waitForFinished(5000);
        }
    }

    // Database location for the client: host/port:path.
    QString Endereco(const QString& caminho) const
    {
        return QStringLiteral("127.0.0.1/%1:%2").arg(FPorta).arg(caminho);
    }
    QString Usuario() const { return QStringLiteral("SYSDBA"); }
    QString Senha() const { return FSenha; }
    QString Motivo() const { return FMotivo; }
    // The server's process: SIGSTOP freezes it mid-run (every statement then hangs), SIGCONT lets it go on.
    qint64 Pid() const { return FProcesso.processId(); }

private:
    QTemporaryDir FPasta;
    QProcess FProcesso;
    QString FPrograma;
    int FPorta = 0;
    QString FSenha;
    QString FMotivo;

    bool Falha(const QString& motivo)
    {
        FMotivo = QStringLiteral("Servidor Firebird indisponível: ") + motivo;
        return false;
    }

    static bool Escreve(const QString& caminho, const QString& texto)
    {
        QFile arquivo(caminho);
        return arquivo.open(QIODevice::WriteOnly) && arquivo.write(texto.toUtf8()) == texto.toUtf8().size();
    }

    // Creates the security database with the embedded engine under this server's configuration,
    // and SYSDBA in it with a password generated for this run.
    bool CriaSeguranca(const QDir& pasta, const QString& seguranca)
    {
        static const char letras[] = "abcdefghijkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
        FSenha.clear();
        for (int i = 0; i < 16; ++i)
            FSenha += QLatin1Char(letras[QRandomGenerator::system()->bounded(int(sizeof letras - 1))]);
        QProcess isql;
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert(QStringLiteral("FIREBIRD"), pasta.path());
        ambiente.insert(QStringLiteral("FIREBIRD_LOCK"), pasta.filePath(QStringLiteral("lock")));
        ambiente.remove(QStringLiteral("ISC_USER"));
        ambiente.remove(QStringLiteral("ISC_PASSWORD"));
        isql.setProcessEnvironment(ambiente);
        isql.setProcessChannelMode(QProcess::MergedChannels);
        isql.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        isql.start(QStringLiteral("/usr/bin/isql-fb"), {QStringLiteral("-q"), QStringLiteral("-user"), Usuario()});
        if (!isql.waitForStarted(5000))
            return Falha(QStringLiteral("isql-fb não iniciou: %1").arg(isql.errorString()));
        isql.write(QStringLiteral("create database '%1';\ncreate user %2 password '%3' using plugin Srp;\ncommit;\n"
                                  "exit;\n")
                       .arg(seguranca, Usuario(), FSenha)
                       .toUtf8());
        isql.closeWriteChannel();
        if (!isql.waitForFinished(30000)) {
            isql.kill();
            isql.waitForFinished(5000);
            return Falha(QStringLiteral("isql-fb não terminou ao criar a base de segurança"));
        }
        const QString saida = QString::fromLocal8Bit(isql.readAll()).trimmed();
        if (isql.exitCode() != 0 || !saida.isEmpty() || !QFile::exists(seguranca))
            return Falha(QStringLiteral("a base de segurança não pôde ser criada: %1").arg(saida));
        QFile::setPermissions(seguranca, QFile::ReadOwner | QFile::WriteOwner);
        return true;
    }

    static int PortaLivre()
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        if (s < 0)
            return 0;
        sockaddr_in endereco{};
        endereco.sin_family = AF_INET;
        endereco.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        endereco.sin_port = 0;
        socklen_t tamanho = sizeof endereco;
        int porta = 0;
        if (::bind(s, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco) == 0
            && ::getsockname(s, reinterpret_cast<sockaddr*>(&endereco), &tamanho) == 0)
            porta = ntohs(endereco.sin_port);
        ::close(s);
        return porta;
    }

    bool Atende() const
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        if (s < 0)
            return false;
        sockaddr_in endereco{};
        endereco.sin_family = AF_INET;
        endereco.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        endereco.sin_port = htons(static_cast<uint16_t>(FPorta));
        const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco) == 0;
        ::close(s);
        return ok;
    }
};
