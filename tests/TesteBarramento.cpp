// The station on the system bus: the real service with the simulated concentrator, on a private
// dbus-daemon set up like the system bus with the package's policy file, asked by the real
// linkorctl: the state at a glance, the fueling lines as they are stored, the notices, the
// operator's steps and their LogOperacoes lines, who the bus lets in, and a service that goes on
// polling without any bus.
#include "LogArquivos.h"
#include "NomesBarramento.h"
#include "OperacoesPosto.h"
#include "Posto.h"
#include "PostoPublicado.h"
#include "Regional.h"
#include "SimuladorTeste.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <grp.h>
#include <optional>
#include <sys/prctl.h>
#include <unistd.h>

namespace {
// Another user for linkorctl: nobody, with the groups given (none: outside every group).
struct TUsuario {
    uid_t Uid;
    gid_t Gid;
    bool NoGrupo;
};
} // namespace

// Receives PropertiesChanged in the test's own bus connection.
class TOuvinte : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> Alteradas;
public slots:
    void Alterou(const QString& interface, const QVariantMap& alteradas, const QStringList&)
    {
        if (interface == kInterfacePosto)
            Alteradas << alteradas;
    }
};

class TesteBarramento : public QObject, public TSimuladorTeste {
    Q_OBJECT
    QTemporaryDir Pasta;   // the station folder
    QTemporaryDir Publica; // the bus's socket and configuration, and linkorctl: open to nobody
    QProcess Barramento;
    QProcess Servico;
    QString Endereco;
    QString ProgramaCtl; // linkorctl's copy
    QString ErrosServico;

    struct TSaidaCtl {
        int Codigo = -1;
        QString Saida;
        QString Erros;
    };

    // linkorctl on `endereco` (the test bus unless given), as `usuario` when given.
    TSaidaCtl Linkorctl(const QStringList& argumentos, const QString& endereco = {},
                        std::optional<TUsuario> usuario = std::nullopt)
    {
        QProcess ctl;
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert("DBUS_SYSTEM_BUS_ADDRESS", endereco.isEmpty() ? Endereco : endereco);
        ctl.setProcessEnvironment(ambiente);
        ComoUsuario(ctl, usuario);
        ctl.start(ProgramaCtl, argumentos);
        TSaidaCtl saida;
        if (!ctl.waitForFinished(30000) || ctl.exitStatus() != QProcess::NormalExit)
            return saida;
        saida.Codigo = ctl.exitCode();
        saida.Saida = QString::fromUtf8(ctl.readAllStandardOutput());
        saida.Erros = QString::fromUtf8(ctl.readAllStandardError());
        return saida;
    }

    // The child drops to `usuario` (root only) and dies with the test: the parent-death signal is
    // set after the change of user, which clears it.
    static void ComoUsuario(QProcess& processo, std::optional<TUsuario> usuario)
    {
        const pid_t pai = ::getpid();
        processo.setChildProcessModifier([pai, usuario] {
            if (usuario) {
                const gid_t grupos[] = {usuario->Gid};
                if (::setgroups(usuario->NoGrupo ? 1 : 0, grupos) != 0 || ::setgid(usuario->Gid) != 0
                    || ::setuid(usuario->Uid) != 0)
                    ::_exit(126);
            }
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != pai)
                ::_exit(127);
        });
    }

    static bool Escreve(const QString& caminho, const QByteArray& conteudo)
    {
        QFile f(caminho);
        return f.open(QIODevice::WriteOnly) && f.write(conteudo) == conteudo.size();
    }

    // A dbus-daemon set up like the system bus, with the package's policy file. The file's
    // group="linkor" stands for a group every Debian has (users, gid 100), so the test needs no
    // group of the package's on the machine and runs as root on a fresh system; everything else in
    // the file is taken as it is.
    bool IniciaBarramento()
    {
        QFile politica(QStringLiteral(LINKOR_POLITICA_BARRAMENTO));
        if (!politica.open(QIODevice::ReadOnly))
            return false;
        QByteArray texto = politica.readAll();
        texto.replace("group=\"linkor\"", "group=\"users\"");
        QFile modelo(QStringLiteral(LINKOR_BARRAMENTO_TESTE));
        if (!modelo.open(QIODevice::ReadOnly))
            return false;
        const QString configuracao = Publica.filePath("barramento.conf");
        const QString politicaTeste = Publica.filePath("br.com.linkor.Posto.conf");
        if (!Escreve(politicaTeste, texto)
            || !Escreve(configuracao, modelo.readAll()
                                          .replace("@SOQUETE@", Publica.filePath("bus").toUtf8())
                                          .replace("@POLITICA@", politicaTeste.toUtf8())))
            return false;
        Barramento.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        MorreComOTeste(Barramento);
        Barramento.start("dbus-daemon",
                         {"--config-file=" + configuracao, "--nofork", "--nopidfile", "--print-address=1"});
        if (!Barramento.waitForStarted(5000))
            return false;
        QElapsedTimer espera;
        espera.start();
        while (!Barramento.canReadLine() && espera.elapsed() < 30000)
            Barramento.waitForReadyRead(1000);
        Endereco = QString::fromUtf8(Barramento.readLine()).trimmed();
        return !Endereco.isEmpty();
    }

    // The service on the station, on `endereco` (a bus or none).
    void IniciaServico(const QString& endereco)
    {
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert("COMPANYTEC_PORTA1", Link);
        ambiente.insert("DBUS_SYSTEM_BUS_ADDRESS", endereco);
        // the station's regional settings: prices are written "6,55"
        ambiente.insert("LC_ALL", "pt_BR.UTF-8");
        Servico.setProcessEnvironment(ambiente);
        Servico.setWorkingDirectory(Pasta.path());
        Servico.setProcessChannelMode(QProcess::SeparateChannels);
        Servico.setStandardOutputFile(QProcess::nullDevice());
        MorreComOTeste(Servico);
        ErrosServico.clear();
        Servico.start(Executavel("linkor-servico"), {"--posto", Pasta.path()});
        QVERIFY(Servico.waitForStarted(5000));
    }

    void ParaServico()
    {
        if (Servico.state() == QProcess::NotRunning)
            return;
        Servico.terminate();
        QVERIFY(Servico.waitForFinished(30000));
        ErrosServico += QString::fromUtf8(Servico.readAllStandardError());
    }

    QString LeErrosServico()
    {
        ErrosServico += QString::fromUtf8(Servico.readAllStandardError());
        return ErrosServico;
    }

    // The lines of today's fueling log of the station.
    QStringList LogDoDia() const
    {
        const QStringList logs = QDir(Pasta.path()).entryList({"LogLinkor*"}, QDir::Files);
        if (logs.size() != 1)
            return {};
        QFile f(Pasta.filePath(logs.first()));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QRegularExpression("\r?\n"), Qt::SkipEmptyParts);
    }

    // What `linkorctl estado` shows for `rotulo`.
    static QString Valor(const QString& estado, const QString& rotulo)
    {
        for (const QString& linha : estado.split('\n'))
            if (linha.startsWith(rotulo + ": "))
                return linha.mid(rotulo.size() + 2);
        return QStringLiteral("(ausente)");
    }

    // What `processo` wrote so far on `canal`, gathered into `texto`.
    static const QString& Junta(QString& texto, QProcess& processo,
                                QProcess::ProcessChannel canal = QProcess::StandardOutput)
    {
        texto += QString::fromUtf8(canal == QProcess::StandardOutput ? processo.readAllStandardOutput()
                                                                      : processo.readAllStandardError());
        return texto;
    }

    // The service on the bus with the station's database, polling: the interval is published once
    // start-up is through.
    void IniciaServicoNoPosto()
    {
        QVERIFY(Escreve(Pasta.filePath("Caminho.ini"), ("[DATABASEESTOQUE]\r\nCAMINHO=" + Pasta.filePath("POSTO.FDB")
                                                        + "\r\nUSUARIO=SYSDBA\r\nSENHA=\r\n")
                                                           .toUtf8()));
        IniciaServico(Endereco);
        QTRY_VERIFY_WITH_TIMEOUT(Linkorctl({"estado"}).Saida.contains("Intervalo de leitura: 1 s"), 60000);
    }

    // linkorctl acompanha, running until stopped; its output as it comes.
    void IniciaAcompanha(QProcess& acompanha)
    {
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert("DBUS_SYSTEM_BUS_ADDRESS", Endereco);
        acompanha.setProcessEnvironment(ambiente);
        MorreComOTeste(acompanha);
        acompanha.start(ProgramaCtl, {"acompanha"});
        QVERIFY(acompanha.waitForStarted(5000));
        QString erros;
        QTRY_VERIFY_WITH_TIMEOUT(Junta(erros, acompanha, QProcess::StandardError).contains("acompanhando"),
                                 30000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(Pasta.isValid() && Publica.isValid());
        // nobody reaches the bus's socket and runs linkorctl from here
        QVERIFY(QFile::setPermissions(Publica.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                           | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                                           | QFile::ExeOther));
        ProgramaCtl = Publica.filePath("linkorctl");
        QVERIFY(QFile::copy(Executavel("linkorctl"), ProgramaCtl));
        QVERIFY2(IniciaBarramento(), "dbus-daemon did not come up");
        QVERIFY2(IniciaSimuladorNaPasta(Pasta.path()), "concentrador-sim did not come up");
        CriaBancoPosto(Pasta.filePath("POSTO.FDB"), true);
        IniciaServicoNoPosto();
    }
    void cleanupTestCase()
    {
        ParaServico();
        Simulador.terminate();
        Simulador.waitForFinished(5000);
        Barramento.terminate();
        Barramento.waitForFinished(5000);
    }

    // The last fueling's date, time and nozzle are read back from its log line, whatever the
    // nozzle's code looks like; a line of another form gives nothing.
    void ColunasDaLinha_data()
    {
        QTest::addColumn<QString>("bico");
        QTest::newRow("dois digitos") << "01";
        QTest::newRow("com espaco") << "B 7";
        QTest::newRow("um caractere") << "X";
    }
    void ColunasDaLinha()
    {
        QFETCH(QString, bico);
        const QString linha = MontaLinhaLog("11/12/2026", "09:05:07", bico, 1234.5, 7281.45, 5.899, "3", "42", "068",
                                            TConfiguracaoRegional::PtBr());
        QCOMPARE(TPostoPublicado::DataHoraBico(linha), "11/12/2026 09:05:07 " + bico);
        const QStringList cabecalho = MontaCabecalhoLog(QDate(2026, 12, 11), TConfiguracaoRegional::PtBr());
        QCOMPARE(TPostoPublicado::DataHoraBico(cabecalho[2]), QString());
    }

    void EstadoMostraOPosto()
    {
        const TSaidaCtl estado = Linkorctl({"estado"});
        QVERIFY2(estado.Codigo == 0, qPrintable(estado.Erros));
        const QString s = estado.Saida;
        QCOMPARE(Valor(s, "Versão"), QString("v15.11dc"));
        QCOMPARE(Valor(s, "Situação"), QString("Procurando Abastecimentos"));
        QCOMPARE(Valor(s, "Aviso"), QString("nenhum"));
        QCOMPARE(Valor(s, "Aguardando no diário"), QString("0"));
        QCOMPARE(Valor(s, "Retidos no diário"), QString("0"));
        QCOMPARE(Valor(s, "Abastecimentos do dia"), QString::number(LogDoDia().size()));
        QCOMPARE(Valor(s, "Intervalo de leitura"), QString("1 s"));
        QCOMPARE(Valor(s, "Modo tag"), QString("não"));
    }

    // A fueling stored while a client follows: linkorctl prints the very line the day's log took,
    // a client on the bus hears the properties change, and the day's lines end with it.
    void AcompanhaMostraALinhaGravada()
    {
        QDBusConnection conexao = QDBusConnection::connectToBus(Endereco, "teste");
        QVERIFY(conexao.isConnected());
        TOuvinte ouvinte;
        QVERIFY(conexao.connect(kNomeBarramento, kCaminhoPosto, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                                &ouvinte, SLOT(Alterou(QString, QVariantMap, QStringList))));
        QProcess acompanha;
        IniciaAcompanha(acompanha);
        const qsizetype antes = LogDoDia().size();
        Ctl({"abastece", "bico=04", "litros=12.5", "preco=5.899"});
        QTRY_COMPARE_WITH_TIMEOUT(LogDoDia().size(), antes + 1, 60000);
        const QString linha = LogDoDia().constLast();
        QString saida;
        QTRY_VERIFY_WITH_TIMEOUT(Junta(saida, acompanha).contains(linha + "\n"),
                                 30000);
        QCOMPARE(saida, linha + "\n");
        ::kill(static_cast<pid_t>(acompanha.processId()), SIGINT);
        QVERIFY(acompanha.waitForFinished(10000));
        QCOMPARE(acompanha.exitStatus(), QProcess::NormalExit);
        QCOMPARE(acompanha.exitCode(), 0);

        // The line names its date, time and nozzle; so does the state.
        const QStringList colunas = linha.simplified().split(' ');
        QTRY_VERIFY_WITH_TIMEOUT(std::any_of(ouvinte.Alteradas.cbegin(), ouvinte.Alteradas.cend(),
                                             [&](const QVariantMap& m) {
                                                 return m.value("AbastecimentosDoDia").toInt() == antes + 1
                                                        && m.value("UltimoGravado").toString()
                                                               == colunas.mid(0, 3).join(' ');
                                             }),
                                 30000);
        const QString estado = Linkorctl({"estado"}).Saida;
        QCOMPARE(Valor(estado, "Último gravado"), colunas[0] + " " + colunas[1] + ", bico " + colunas[2]);
        QCOMPARE(Valor(estado, "Abastecimentos do dia"), QString::number(antes + 1));
        const QDBusReply<QStringList> dia = conexao.call(
            QDBusMessage::createMethodCall(kNomeBarramento, kCaminhoPosto, kInterfacePosto, "LinhasDoDia"));
        QVERIFY2(dia.isValid(), qPrintable(dia.error().message()));
        QCOMPARE(dia.value(), LogDoDia());
        QDBusConnection::disconnectFromBus("teste");
    }

    // A silent concentrator: the follower hears the notice and its end; the state names its kind.
    void AvisoChegaAoCliente()
    {
        QProcess acompanha;
        IniciaAcompanha(acompanha);
        Ctl({"falha", "modo=silencio"});
        auto normal = qScopeGuard([this] { Ctl({"falha", "modo=normal"}); });
        QString saida;
        QTRY_VERIFY_WITH_TIMEOUT(Junta(saida, acompanha).contains("Aviso: O concentrador não responde"), 60000);
        const QString estado = Linkorctl({"estado"}).Saida;
        QCOMPARE(Valor(estado, "Tipo do aviso"), QString("concentrador-mudo"));
        QCOMPARE(Valor(estado, "Situação"), QString("Concentrador não responde"));
        normal.dismiss();
        Ctl({"falha", "modo=normal"});
        QTRY_VERIFY_WITH_TIMEOUT(Junta(saida, acompanha).contains("Aviso: normalizado\n"), 60000);
        QCOMPARE(Valor(Linkorctl({"estado"}).Saida, "Aviso"), QString("nenhum"));
        acompanha.terminate(); // SIGTERM ends it as SIGINT does
        QVERIFY(acompanha.waitForFinished(10000));
        QCOMPARE(acompanha.exitCode(), 0);
    }

    // The service restarted under a follower (an upgrade, the watchdog): it says so, waits, and
    // prints the fuelings of the new run.
    void AcompanhaSegueOServicoReiniciado()
    {
        QProcess acompanha;
        IniciaAcompanha(acompanha);
        QString erros;
        ParaServico();
        QTRY_VERIFY_WITH_TIMEOUT(Junta(erros, acompanha, QProcess::StandardError).contains("saiu do barramento"),
                                 30000);
        IniciaServico(Endereco);
        QTRY_VERIFY_WITH_TIMEOUT(Junta(erros, acompanha, QProcess::StandardError).contains("voltou ao barramento"),
                                 60000);
        const qsizetype antes = LogDoDia().size();
        Ctl({"abastece", "bico=44", "litros=3", "preco=6.199"});
        QTRY_COMPARE_WITH_TIMEOUT(LogDoDia().size(), antes + 1, 60000);
        QString saida;
        QTRY_VERIFY_WITH_TIMEOUT(Junta(saida, acompanha).contains(LogDoDia().constLast() + "\n"),
                                 30000);
        QCOMPARE(acompanha.state(), QProcess::Running);
    }

    // A box the service would show (the start-up's retry question, which it answers itself)
    // reaches a follower; meanwhile the state says the service is starting.
    void MensagemChegaAoCliente()
    {
        ParaServico();
        auto restaura = qScopeGuard([this] {
            ParaServico();
            IniciaServicoNoPosto();
        });
        QVERIFY(Escreve(Pasta.filePath("Caminho.ini"),
                        "[DATABASEESTOQUE]\r\nCAMINHO=127.0.0.1/1:/nada.fdb\r\nUSUARIO=SYSDBA\r\nSENHA=\r\n"));
        IniciaServico(Endereco); // nothing listens on port 1
        QTRY_COMPARE_WITH_TIMEOUT(Linkorctl({"estado"}).Codigo, 0, 30000);
        QCOMPARE(Valor(Linkorctl({"estado"}).Saida, "Situação"), QString("Iniciando"));
        QProcess acompanha;
        IniciaAcompanha(acompanha);
        QString saida;
        QTRY_VERIFY_WITH_TIMEOUT(Junta(saida, acompanha)
                                     .contains("Mensagem: Informação: Impossível conectar ao banco de dados.\n"
                                               "Mensagem: Deseja tentar novamente?\n"),
                                 60000);
    }

    // The lines of LogOperacoes, in the station folder.
    QStringList LogOperacoes() const
    {
        QFile f(Pasta.filePath("LogOperacoes"));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QRegularExpression("\r?\n"), Qt::SkipEmptyParts);
    }

    // The price `linkorctl bicos` shows for a nozzle: what Bombas holds, as the service reads it.
    QString PrecoEmBombas(const QString& bico)
    {
        const TSaidaCtl bicos = Linkorctl({"bicos"});
        for (const QString& linha : bicos.Saida.split('\n'))
            if (linha.startsWith(bico + " "))
                return linha.simplified().split(' ').value(linha.simplified().split(' ').size() - 2);
        return QStringLiteral("(sem o bico %1: %2)").arg(bico, bicos.Erros);
    }

    // A price change from linkorctl reaches the pump and Bombas, and LogOperacoes names who asked
    // as the bus knows them (not the service's own user): the test's user, and another user of
    // the group.
    void PrecoPeloLinkorctl_data()
    {
        QTest::addColumn<bool>("outroUsuario");
        QTest::addColumn<QString>("valor");
        QTest::addColumn<QString>("naBomba");
        QTest::addColumn<QString>("noBanco");
        QTest::newRow("usuario do teste") << false << "6,55" << "6.55" << "6,550";
        QTest::newRow("nobody no grupo") << true << " 6,6 " << "6.6" << "6,600";
    }
    void PrecoPeloLinkorctl()
    {
        QFETCH(bool, outroUsuario);
        QFETCH(QString, valor);
        QFETCH(QString, naBomba);
        QFETCH(QString, noBanco);
        std::optional<TUsuario> usuario;
        QString login = TOperacoesPosto::UsuarioLocal();
        if (outroUsuario) {
            if (::geteuid() != 0)
                QSKIP("linkorctl runs as another user (nobody) only when the test runs as root");
            const group* usuarios = ::getgrnam("users"); // the group linkor on the test bus
            QVERIFY2(usuarios, "no group users on this machine");
            usuario = TUsuario{65534, usuarios->gr_gid, true};
            login = "nobody";
        }
        const QString antes = PrecoEmBombas("04");
        const qsizetype linhas = LogOperacoes().size();
        const TSaidaCtl preco = Linkorctl({"preco", "04", valor}, {}, usuario);
        QVERIFY2(preco.Codigo == 0, qPrintable(preco.Erros));
        const QString mudanca = "04: " + antes + " → " + noBanco;
        QCOMPARE(preco.Saida, "Preço gravado no banco e na bomba: " + mudanca + "\n");
        QCOMPARE(Estado("preco.45"), naBomba); // nozzle 04 is the concentrator's 45
        QCOMPARE(PrecoEmBombas("04"), noBanco);
        const QStringList log = LogOperacoes();
        QCOMPARE(log.size(), linhas + 1);
        QVERIFY2(log.constLast().endsWith(" | " + login + " | preço | 04 | " + mudanca + " | ok"),
                 qPrintable(log.constLast()));
    }

    // A value or a nozzle the service will not take changes nothing: the operator's message, and
    // neither pump nor Bombas moves. A command short of its arguments is a usage error.
    void PrecoRecusado_data()
    {
        QTest::addColumn<QStringList>("argumentos");
        QTest::addColumn<int>("codigo");
        QTest::addColumn<QString>("mensagem");
        QTest::newRow("letras") << QStringList{"preco", "04", "abc"} << 1 << "linkorctl: Valor Inválido!";
        QTest::newRow("zero") << QStringList{"preco", "04", "0"} << 1 << "linkorctl: O preço tem que ser maior que zero!";
        QTest::newRow("em branco") << QStringList{"preco", "04", " "} << 1
                                   << "linkorctl: O preço não pode ficar em branco!";
        QTest::newRow("bico fora do concentrador")
            << QStringList{"preco", "09", "6,55"} << 1
            << "linkorctl: O bico 09 não existe no posto (ou não está no concentrador).";
        QTest::newRow("sem valor") << QStringList{"preco", "04"} << 2
                                   << "linkorctl: preco pede BICO e VALOR (por exemplo: preco 04 6,55)";
    }
    void PrecoRecusado()
    {
        QFETCH(QStringList, argumentos);
        QFETCH(int, codigo);
        QFETCH(QString, mensagem);
        const QString naBomba = Estado("preco.45");
        const QString noBanco = PrecoEmBombas("04");
        const TSaidaCtl saida = Linkorctl(argumentos);
        QCOMPARE(saida.Codigo, codigo);
        QCOMPARE(saida.Erros.section('\n', 0, 0), mensagem);
        QCOMPARE(saida.Saida, QString());
        QCOMPARE(Estado("preco.45"), naBomba);
        QCOMPARE(PrecoEmBombas("04"), noBanco);
    }

    // One silent pump among the nozzles asked: the others' readings are shown, the silent nozzle
    // is named, the exit says it was partial, and so does LogOperacoes. Saving then records
    // nothing.
    void EncerrantesComUmBicoMudo()
    {
        Ctl({"bico", "bico=04", "encerrante=152350.5"});
        Ctl({"falha", "modo=silencio", "bicos=44"}); // nozzle 03
        auto normal = qScopeGuard([this] { Ctl({"falha", "modo=normal"}); });
        const qsizetype antes = LogOperacoes().size();
        const TSaidaCtl leitura = Linkorctl({"encerrantes", "01", "03"});
        QCOMPARE(leitura.Codigo, 1);
        QCOMPARE(leitura.Saida, QString("Bico 01: inicial 152340,125, final 152350,500, saída 10,375\n"
                                        "Bico 03: não lido (o concentrador não respondeu); final mantido em 254001,750\n"));
        QCOMPARE(leitura.Erros.section('\n', 0, 0), QString("linkorctl: encerrantes não lidos dos bicos: 03"));
        QList<QString> log = LogOperacoes();
        QCOMPARE(log.size(), antes + 1);
        QVERIFY2(log.constLast().endsWith(" | lê encerrantes | 01, 03 | 01: 152340,125 → 152350,500 | parcial: não lidos 03"),
                 qPrintable(log.constLast()));

        const TSaidaCtl grava = Linkorctl({"encerrantes", "01", "03", "--grava"});
        QCOMPARE(grava.Codigo, 1);
        QCOMPARE(grava.Saida, QString());
        QCOMPARE(grava.Erros.section('\n', 0, 2), QString("linkorctl: Erro ao consultar o encerrante do Bico: 03\n"
                                                          "O Final desses bicos não foi alterado.\n"
                                                          "Nenhum encerrante foi gravado."));
        log = LogOperacoes();
        QCOMPARE(log.size(), antes + 2); // the reading only: nothing was offered for recording
        QVERIFY2(log.constLast().contains(" | lê encerrantes | 01, 03 | "), qPrintable(log.constLast()));

        // Both answering: both recorded under the open shift.
        normal.dismiss();
        Ctl({"falha", "modo=normal"});
        const TSaidaCtl gravadas = Linkorctl({"encerrantes", "01", "03", "--grava"});
        QVERIFY2(gravadas.Codigo == 0, qPrintable(gravadas.Erros));
        const QStringList linhas = gravadas.Saida.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(linhas.size(), 3);
        QCOMPARE(linhas[0], QString("Bico 01: inicial 152340,125, final 152350,500, saída 10,375"));
        QVERIFY2(linhas[1].startsWith("Bico 03: inicial 254001,750, final "), qPrintable(linhas[1]));
        log = LogOperacoes();
        QCOMPARE(log.size(), antes + 4);
        QVERIFY2(log.constLast().contains(" | grava encerrantes | 01, 03 | 01: 152340,125 → 152350,500; 03: 254001,750 → "),
                 qPrintable(log.constLast()));
        QVERIFY2(log.constLast().contains(" | ok (turno "), qPrintable(log.constLast()));
    }

    // Each step reaches what it acts on, and says what it did; a nozzle or a value it will not
    // take is refused with the operator's message (1), a malformed command before any call (2).
    // `chave`: the simulator's state to check ("estado:" a line of linkorctl estado), `valor` its
    // value afterwards ("*": changed).
    void OperacoesAgem_data()
    {
        QTest::addColumn<QStringList>("argumentos");
        QTest::addColumn<int>("codigo");
        QTest::addColumn<QString>("mensagem"); // the first line said (on standard error when not 0)
        QTest::addColumn<QString>("chave");
        QTest::addColumn<QString>("valor");
        QTest::newRow("bloqueia") << QStringList{"bloqueia", "01", "02"} << 0 << "Bico 01 bloqueado." << "bloqueado.05"
                                  << "1";
        QTest::newRow("libera um") << QStringList{"libera", "02"} << 0 << "Bico 02 liberado." << "bloqueado.05" << "0";
        QTest::newRow("libera o outro") << QStringList{"libera", "01"} << 0 << "Bico 01 liberado." << "bloqueado.04"
                                        << "0";
        QTest::newRow("bloqueia bico fora do concentrador")
            << QStringList{"bloqueia", "09"} << 1 << "linkorctl: O bico 09 não existe no posto (ou não está no concentrador)."
            << "bloqueado.04" << "0";
        QTest::newRow("relogio") << QStringList{"relogio"} << 0 << "Data/Hora sincronizada com sucesso! (" << "relogio_acertado"
                                 << "*";
        QTest::newRow("intervalo") << QStringList{"intervalo", "2"} << 0 << "Intervalo de leitura: 1 s → 2 s"
                                   << "estado:Intervalo de leitura" << "2 s";
        QTest::newRow("intervalo de volta") << QStringList{"intervalo", "1"} << 0 << "Intervalo de leitura: 2 s → 1 s"
                                            << "estado:Intervalo de leitura" << "1 s";
        QTest::newRow("intervalo sem numero") << QStringList{"intervalo", "um"} << 2 << "linkorctl: intervalo inválido: 'um'"
                                              << "estado:Intervalo de leitura" << "1 s";
        QTest::newRow("diario lista") << QStringList{"diario", "lista", "--retidos"} << 0 << "    Nº Lido em" << "" << "";
        QTest::newRow("diario reenvia") << QStringList{"diario", "reenvia", "--todos"} << 0
                                        << "Nenhuma entrada retida para reenviar." << "" << "";
        QTest::newRow("diario reenvia entrada inexistente") << QStringList{"diario", "reenvia", "999999"} << 1
                                                            << "linkorctl: A entrada 999999 não existe no diário " << ""
                                                            << "";
    }
    void OperacoesAgem()
    {
        QFETCH(QStringList, argumentos);
        QFETCH(int, codigo);
        QFETCH(QString, mensagem);
        QFETCH(QString, chave);
        QFETCH(QString, valor);
        auto le = [this, &chave] {
            return chave.startsWith("estado:") ? Valor(Linkorctl({"estado"}).Saida, chave.mid(7))
                 : chave.isEmpty()             ? QString()
                                               : Estado(chave);
        };
        const QString antes = le();
        const TSaidaCtl saida = Linkorctl(argumentos);
        QCOMPARE(saida.Codigo, codigo);
        const QString dito = (codigo == 0 ? saida.Saida : saida.Erros).section('\n', 0, 0);
        QVERIFY2(dito.startsWith(mensagem), qPrintable(dito));
        if (valor == "*")
            QVERIFY(le() != antes);
        else
            QTRY_COMPARE_WITH_TIMEOUT(le(), valor, 30000);
    }

    // The bus decides who is heard: outside the group, every operator command is refused with the
    // cause, before it reaches the service.
    void OperacoesForaDoGrupo_data()
    {
        QTest::addColumn<QStringList>("argumentos");
        const QList<QStringList> comandos{{"bicos"},          {"encerrantes"},     {"encerrantes", "01", "--grava"},
                                          {"preco", "04", "6,99"}, {"bloqueia", "04"}, {"libera", "04"},
                                          {"captura", "1"},   {"relogio"},         {"intervalo", "7"},
                                          {"diario", "lista"}, {"diario", "reenvia", "--todos"}};
        for (const QStringList& comando : comandos)
            QTest::newRow(qPrintable(comando.join(' '))) << comando;
    }
    void OperacoesForaDoGrupo()
    {
        QFETCH(QStringList, argumentos);
        if (::geteuid() != 0)
            QSKIP("linkorctl runs as another user (nobody) only when the test runs as root");
        const qsizetype antes = LogOperacoes().size();
        const TSaidaCtl saida = Linkorctl(argumentos, {}, TUsuario{65534, 65534, false});
        QCOMPARE(saida.Codigo, 4);
        QVERIFY2(saida.Erros.startsWith("linkorctl: acesso negado: o usuário precisa pertencer ao grupo linkor"),
                 qPrintable(saida.Erros));
        QCOMPARE(saida.Saida, QString());
        QCOMPARE(LogOperacoes().size(), antes);
    }

    // The bus decides who is heard: outside the group, both commands are refused with the
    // cause; in the group, the state is shown.
    void AcessoPeloGrupo_data()
    {
        QTest::addColumn<QString>("comando");
        QTest::addColumn<bool>("noGrupo");
        for (const char* comando : {"estado", "acompanha"})
            QTest::addRow("fora_do_grupo_%s", comando) << QString(comando) << false;
        QTest::newRow("no_grupo_estado") << QString("estado") << true;
    }
    void AcessoPeloGrupo()
    {
        QFETCH(QString, comando);
        QFETCH(bool, noGrupo);
        if (::geteuid() != 0)
            QSKIP("linkorctl runs as another user (nobody) only when the test runs as root");
        // The group the policy's group="linkor" stands for on the test bus (see IniciaBarramento).
        const group* usuarios = ::getgrnam("users");
        QVERIFY2(usuarios, "no group users on this machine");
        const TUsuario nobody{65534, noGrupo ? usuarios->gr_gid : gid_t(65534), noGrupo};
        const TSaidaCtl saida = Linkorctl({comando}, {}, nobody);
        if (noGrupo) {
            QVERIFY2(saida.Codigo == 0, qPrintable(saida.Erros));
            QCOMPARE(Valor(saida.Saida, "Versão"), QString("v15.11dc"));
        } else {
            QCOMPARE(saida.Codigo, 4);
            QCOMPARE(saida.Erros.section('\n', 0, 0),
                     QString("linkorctl: acesso negado: o usuário precisa pertencer ao grupo linkor (adduser USUÁRIO "
                             "linkor, e entrar de novo no sistema)"));
            QCOMPARE(saida.Saida, QString());
        }
    }

    // No bus at all: linkorctl says so (3); the service says it once and stores fuelings as ever,
    // and linkorctl on the bus it is not on says it is not there (3).
    void SemBarramento()
    {
        const QString semBus = "unix:path=" + Publica.filePath("nenhum");
        const TSaidaCtl semBarramento = Linkorctl({"estado"}, semBus);
        QCOMPARE(semBarramento.Codigo, 3);
        QVERIFY2(semBarramento.Erros.startsWith("linkorctl: o barramento do sistema não está disponível ("),
                 qPrintable(semBarramento.Erros));

        ParaServico();
        IniciaServico(semBus);
        QTRY_VERIFY_WITH_TIMEOUT(LeErrosServico().contains("Linkor fora do barramento do sistema: "), 30000);
        const qsizetype antes = LogDoDia().size();
        Ctl({"abastece", "bico=05", "litros=8", "preco=4.999"});
        QTRY_COMPARE_WITH_TIMEOUT(LogDoDia().size(), antes + 1, 60000);
        QTRY_COMPARE_WITH_TIMEOUT(Estado("pendentes"), QString("0"), 30000);
        QCOMPARE(Servico.state(), QProcess::Running);

        const TSaidaCtl foraDoBus = Linkorctl({"estado"});
        QCOMPARE(foraDoBus.Codigo, 3);
        QVERIFY2(foraDoBus.Erros.startsWith("linkorctl: o serviço do Linkor não está no barramento do sistema"),
                 qPrintable(foraDoBus.Erros));
    }
};

QTEST_GUILESS_MAIN(TesteBarramento)
#include "TesteBarramento.moc"
