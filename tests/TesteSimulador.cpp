// The driver, our concentrator library and the simulated concentrator together, over a real
// pseudo-terminal. Every wait is bounded.
#include "ClassCompanyTec.h"
#include "Erro.h"
#include "SimuladorTeste.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr int Porta = 3;
// What a call may take when the device does not answer, with room for a loaded machine.
constexpr qint64 LimiteChamadaMs = 1500;

// A reader of its own process: takes one fueling through the library and reports its ID; then
// closes as the second argument says ("confirma", "retem"), or waits to be killed ("morto").
int ExecutaLeitor(int argc, char** argv)
{
    QCoreApplication aplicacao(argc, argv);
    TCompanyTec driver;
    driver.PCarregaDllConcentrador();
    if (!driver.InicializaSerial(Porta))
        return 1;
    const TAbastecimento lido = driver.GetLeAbastecimento();
    std::printf("%d %d\n", lido.Valido, lido.Id);
    std::fflush(stdout);
    const QByteArray fim = argc > 2 ? QByteArray(argv[2]) : QByteArray("morto");
    if (fim == "morto") {
        std::this_thread::sleep_for(std::chrono::seconds(30));
        return 2;
    }
    driver.FinalizaSerial(fim == "retem" ? TUltimoEntregue::Retem : TUltimoEntregue::Confirma);
    return 0;
}
} // namespace

class TesteSimulador : public QObject, public TSimuladorTeste {
    Q_OBJECT
    QTemporaryDir Pasta;
    TCompanyTec Driver;

    // Reads until nothing is waiting, which also acknowledges the last one read.
    void EsvaziaFila()
    {
        for (int i = 0; i < 100 && Driver.GetLeAbastecimento().Valido; ++i) {
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(Pasta.isValid());
        Link = Pasta.filePath("ttyCT");
        Controle = Pasta.filePath("controle");
        QVERIFY2(IniciaSimulador(), "concentrador-sim did not come up");
        qputenv("COMPANYTEC_PORTA3", QFile::encodeName(Link));
        // The library beside the test executable, as the program finds it beside its own.
        Driver.PCarregaDllConcentrador();
        // A port that is not there does not open, and the error names the device and why (the
        // library has one port at a time).
        const QString ausente = Pasta.filePath("naoexiste");
        qputenv("COMPANYTEC_PORTA9", QFile::encodeName(ausente));
        try {
            Driver.InicializaSerial(9);
            QFAIL("a missing device opened");
        } catch (const EOutraInstancia&) {
            QFAIL("a missing device taken for another Linkor");
        } catch (const EErro& e) {
            QCOMPARE(e.Mensagem(), "Erro ao tentar a conexão com a porta serial!!\rA porta COM9 (" + ausente
                                       + ") não abriu: o dispositivo não existe (cabo ou adaptador desconectado, ou "
                                         "outro nome de porta).");
        }
        QVERIFY(!Driver.InicializaSerial(0));
        QVERIFY(Driver.InicializaSerial(Porta));
    }

    void cleanupTestCase()
    {
        Driver.FinalizaSerial(TUltimoEntregue::Confirma);
        Simulador.terminate();
        QVERIFY(Simulador.waitForFinished(5000));
        QCOMPARE(Simulador.exitCode(), 0);
        QVERIFY(!QFileInfo(Link).isSymLink());
        QVERIFY(!QFileInfo::exists(Controle));
    }

    void init()
    {
        Ctl({"falha", "modo=normal"});
        EsvaziaFila();
    }

    void AbastecimentoChegaCampoACampo_data()
    {
        QTest::addColumn<bool>("fid");
        QTest::addColumn<QStringList>("argumentos");
        QTest::addColumn<qint64>("valorTotal");
        QTest::addColumn<QString>("codFid");
        const QStringList comuns{"bico=44", "litros=25.437", "preco=5.899", "data=09/12/2025", "hora=14:03:27",
                                 "id=169", "encerrante=123456.5"};
        QTest::newRow("plano, total dado") << false << comuns + QStringList{"total=150.05"} << qint64(1500500) << "";
        // 25.437 x 5.899 = 150.052863: to the cent.
        QTest::newRow("plano, total calculado") << false << comuns << qint64(1500500) << "";
        QTest::newRow("tag, sem tag") << true << comuns << qint64(1500500) << QString(16, '0');
        QTest::newRow("tag, com tag") << true << comuns + QStringList{"fid=00A1B2C3D4E5F607"} << qint64(1500500)
                                      << "00A1B2C3D4E5F607";
    }
    void AbastecimentoChegaCampoACampo()
    {
        QFETCH(bool, fid);
        QFETCH(QStringList, argumentos);
        QFETCH(qint64, valorTotal);
        QFETCH(QString, codFid);
        QCOMPARE(Ctl(QStringList{"abastece"} + argumentos), QString("169"));
        QCOMPARE(Estado("pendentes"), QString("1"));
        // Both layouts carry the same fields at their own places.
        const auto confere = [&](const auto& lido) {
            QCOMPARE(lido.Valido, 1);
            QCOMPARE(lido.ValorTotal, valorTotal);
            QCOMPARE(lido.Litragem, 25.437);
            QCOMPARE(lido.PrecoUnit, 58990);
            QCOMPARE(lido.Bico.Texto(), QString("44"));
            QCOMPARE(lido.Data.Texto(), QString("09/12/2025"));
            QCOMPARE(lido.Hora.Texto(), QString("14:03:27"));
            QCOMPARE(lido.Id, 169);
            QCOMPARE(lido.EncerranteFinal, 123456.5);
        };
        if (fid) {
            const TAbastecimentoFid lido = Driver.GetLeAbastecimentoFID();
            confere(lido);
            QCOMPARE(lido.CodFid.Texto().left(16), codFid);
            QCOMPARE(Driver.GetLeAbastecimentoFID().Valido, 0);
        } else {
            confere(Driver.GetLeAbastecimento());
            QCOMPARE(Driver.GetLeAbastecimento().Valido, 0);
        }
        QCOMPARE(Estado("pendentes"), QString("0"));
    }

    void FilaEntregaEmOrdemEIdsSeguidos()
    {
        QCOMPARE(Ctl({"abastece", "bico=04", "litros=10", "preco=5", "id=9998"}), QString("9998"));
        QCOMPARE(Ctl({"abastece", "bico=05", "litros=10", "preco=5"}), QString("9999"));
        QCOMPARE(Ctl({"abastece", "bico=45", "litros=10", "preco=5"}), QString("1"));
        QList<int> ids;
        for (TAbastecimento lido = Driver.GetLeAbastecimento(); lido.Valido && ids.size() < 10;
             lido = Driver.GetLeAbastecimento())
            ids << lido.Id;
        QCOMPARE(ids, (QList<int>{9998, 9999, 1}));
    }

    void LeRegistroPorId()
    {
        Ctl({"abastece", "bico=05", "litros=12.5", "preco=6", "id=321", "encerrante=777.25"});
        const TAbastecimento lido = Driver.FLeRegistro(321);
        QCOMPARE(lido.Valido, 1);
        QCOMPARE(lido.Id, 321);
        QCOMPARE(lido.Bico.Texto(), QString("05"));
        QCOMPARE(lido.Litragem, 12.5);
        QCOMPARE(lido.ValorTotal, 750000);
        QCOMPARE(lido.EncerranteFinal, 777.25);
        QCOMPARE(Driver.FLeRegistro(322).Valido, 0);
        // Kept after delivery too.
        EsvaziaFila();
        QCOMPARE(Driver.FLeRegistro(321).Id, 321);
    }

    void LinhaRuimEErroEDepoisVolta_data()
    {
        QTest::addColumn<QString>("modo");
        QTest::newRow("silencio") << "silencio";
        QTest::newRow("lixo") << "lixo";
        QTest::newRow("lento") << "lento";
    }
    void LinhaRuimEErroEDepoisVolta()
    {
        QFETCH(QString, modo);
        QCOMPARE(Ctl({"abastece", "bico=44", "litros=5", "preco=6", "id=55"}), QString("55"));
        QCOMPARE(Ctl({"falha", "modo=" + modo}), QString());
        // An unanswered request is an error, not "nothing waiting" nor a reading of zero.
        for (int i = 0; i < 2; ++i) {
            QElapsedTimer relogio;
            relogio.start();
            QVERIFY_THROWS_EXCEPTION(EErroSemResposta, Driver.GetLeAbastecimento());
            QVERIFY2(relogio.elapsed() < LimiteChamadaMs, qPrintable(QString::number(relogio.elapsed())));
        }
        {
            QElapsedTimer relogio;
            relogio.start();
            QVERIFY_THROWS_EXCEPTION(EErroSemResposta, Driver.LerEncerrante('L', "44"));
            QCOMPARE(Driver.LeituraEncerrante.Encerrante, 0.0);
            QVERIFY(relogio.elapsed() < LimiteChamadaMs);
        }
        Ctl({"falha", "modo=normal"});
        // Nothing was lost, and nothing late is taken for an answer.
        const TAbastecimento lido = Driver.GetLeAbastecimento();
        QCOMPARE(lido.Valido, 1);
        QCOMPARE(lido.Id, 55);
        QCOMPARE(Driver.GetLeAbastecimento().Valido, 0);
        QCOMPARE(Estado("pendentes"), QString("0"));
    }

    void BloqueioELiberacao()
    {
        Driver.FBloqueiaBico("068");
        QCOMPARE(Estado("bloqueado.44"), QString("1"));
        QCOMPARE(Estado("bloqueado.04"), QString("0"));
        QCOMPARE(Driver.GetLeStatus().left(2), QString("BL"));
        // Each nozzle's own letter, four per position: 04 and 44 on position 1, 05 and 45 on 2.
        QCOMPARE(Driver.FGetStStatusBico(), "LB  LL  " + QString(92, ' '));
        Driver.FLiberaBico("068");
        QCOMPARE(Estado("bloqueado.44"), QString("0"));
        QCOMPARE(Driver.GetLeStatus(), QString(48, 'L'));
    }

    void StatusDoSimulador()
    {
        Ctl({"status", "0", "1", "2", "3", "4", "5", "6", "9"});
        QCOMPARE(Driver.GetLeStatus(), "LPFCABE?" + QString(40, 'L'));
        Ctl({"status"});
    }

    void PrecoRelogioEEncerrante()
    {
        Driver.AlteraPrecoBico("45", 3, 6.499);
        QCOMPARE(Estado("preco.45"), QString("6.499"));

        const int acertos = Estado("relogio_acertado").toInt();
        Driver.AcertaDataHora();
        QCOMPARE(Estado("relogio_acertado").toInt(), acertos + 1);
        const QDateTime relogio = QDateTime::fromString(Estado("relogio"), "dd/MM/yyyy hh:mm:ss");
        QVERIFY(relogio.isValid());
        QVERIFY(qAbs(relogio.secsTo(QDateTime::currentDateTime())) <= 5);

        Ctl({"encerrante", "bico=68", "valor=5432.125"});
        Driver.LerEncerrante('L', "68");
        QCOMPARE(Driver.LeituraEncerrante.Bico.Texto(), QString("68"));
        QCOMPARE(Driver.LeituraEncerrante.Encerrante, 5432.125);
    }

    void ComandoRecusado_data()
    {
        QTest::addColumn<QStringList>("argumentos");
        QTest::newRow("bico desconhecido") << QStringList{"abastece", "bico=99", "litros=1", "preco=1"};
        QTest::newRow("litros faltando") << QStringList{"abastece", "bico=44", "preco=1"};
        QTest::newRow("virgula decimal") << QStringList{"abastece", "bico=44", "litros=1,5", "preco=1"};
        // Beyond what a pump shows, and what the money fields hold.
        QTest::newRow("preco enorme") << QStringList{"abastece", "bico=44", "litros=1", "preco=1e300"};
        QTest::newRow("litros enormes") << QStringList{"abastece", "bico=44", "litros=1e18", "preco=5"};
        QTest::newRow("total enorme") << QStringList{"abastece", "bico=44", "litros=1", "preco=5", "total=1e300"};
        QTest::newRow("modo de falha") << QStringList{"falha", "modo=quebrado"};
        QTest::newRow("comando") << QStringList{"explode"};
    }
    void ComandoRecusado()
    {
        QFETCH(QStringList, argumentos);
        bool aceito = true;
        Ctl(argumentos, &aceito);
        QVERIFY(!aceito);
        QCOMPARE(Estado("pendentes"), QString("0"));
    }

    // What becomes of a fueling delivered to a reader that then closes, or dies, under each of the
    // library's contracts: ours acknowledges on the next read or a clean close, the vendor's
    // (COMPANYTEC_CONFIRMA_NA_ENTREGA=1) as it delivers.
    void EntregaConformeOContrato_data()
    {
        QTest::addColumn<bool>("naEntrega");
        QTest::addColumn<QString>("fim");
        QTest::addColumn<bool>("deNovo");
        for (const bool naEntrega : {false, true}) {
            const char* contrato = naEntrega ? "contrato na entrega" : "contrato proxima leitura";
            // Killed before its next read: only the device can still have it.
            QTest::newRow(qPrintable(QString(contrato) + ", leitor morto")) << naEntrega << "morto" << !naEntrega;
            // Closed while it waits for the database: kept where the contract lets it be kept.
            QTest::newRow(qPrintable(QString(contrato) + ", fecha retendo")) << naEntrega << "retem" << !naEntrega;
            QTest::newRow(qPrintable(QString(contrato) + ", fecha confirmando")) << naEntrega << "confirma" << false;
        }
    }
    void EntregaConformeOContrato()
    {
        QFETCH(bool, naEntrega);
        QFETCH(QString, fim);
        QFETCH(bool, deNovo);
        // The port goes to the reader; this test's driver takes it back under the same contract,
        // and the next test finds the default again.
        Driver.FinalizaSerial(TUltimoEntregue::Confirma);
        if (naEntrega)
            qputenv("COMPANYTEC_CONFIRMA_NA_ENTREGA", "1");
        else
            qunsetenv("COMPANYTEC_CONFIRMA_NA_ENTREGA");
        const auto restaura = qScopeGuard([this] {
            Driver.FinalizaSerial(TUltimoEntregue::Confirma);
            qunsetenv("COMPANYTEC_CONFIRMA_NA_ENTREGA");
            QVERIFY(Driver.InicializaSerial(Porta));
        });
        QCOMPARE(Ctl({"abastece", "bico=05", "litros=3", "preco=6", "id=4321"}), QString("4321"));

        QProcess leitor;
        MorreComOTeste(leitor);
        leitor.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        leitor.start(QCoreApplication::applicationFilePath(), {"--leitor", fim});
        QVERIFY(leitor.waitForStarted(5000));
        QVERIFY(leitor.waitForReadyRead(5000));
        QCOMPARE(QString::fromLatin1(leitor.readLine()).trimmed(), QString("1 4321"));
        if (fim == "morto") {
            // The vendor's read took it off the device before it returned.
            QCOMPARE(Estado("pendentes"), naEntrega ? QString("0") : QString("1"));
            leitor.kill();
        }
        QVERIFY(leitor.waitForFinished(5000));
        if (fim != "morto")
            QCOMPARE(leitor.exitCode(), 0);
        QCOMPARE(Estado("pendentes"), deNovo ? QString("1") : QString("0"));

        QVERIFY(Driver.InicializaSerial(Porta));
        const TAbastecimento lido = Driver.GetLeAbastecimento();
        QCOMPARE(lido.Valido, deNovo ? 1 : 0);
        if (deNovo)
            QCOMPARE(lido.Id, 4321);
        // Delivered at most once more: the read after it finds nothing, and the device keeps
        // nothing, whichever contract.
        QCOMPARE(Driver.GetLeAbastecimento().Valido, 0);
        QCOMPARE(Estado("pendentes"), QString("0"));
    }

    // A second driver on the port's device, by any of its names, is refused before the library is
    // called; the first keeps working.
    void PortaDeOutroLinkorRecusada()
    {
        const QString dispositivo = QFileInfo(Link).canonicalFilePath();
        QVERIFY(!dispositivo.isEmpty());
        qputenv("COMPANYTEC_PORTA4", QFile::encodeName(dispositivo));
        TCompanyTec outro;
        outro.PCarregaDllConcentrador();
        for (const int porta : {Porta, 4}) {
            try {
                outro.InicializaSerial(static_cast<std::uint8_t>(porta));
                QFAIL("the port of another Linkor was opened");
            } catch (const EOutraInstancia& e) {
                QCOMPARE(e.Mensagem(), QString("A porta serial COM%1 (%2) já está sendo usada por outro Linkor.\r"
                                               "Este não será iniciado: use o que já está aberto.")
                                           .arg(porta)
                                           .arg(porta == Porta ? Link : dispositivo));
            }
        }
        QCOMPARE(Ctl({"abastece", "bico=05", "litros=2", "preco=6", "id=77"}), QString("77"));
        EsvaziaFila();
        QCOMPARE(Estado("pendentes"), QString("0"));
    }

    // A start that finds something else at its paths refuses and leaves it as it was; the running
    // simulator keeps its socket.
    void CaminhoOcupadoNaoEApagado_data()
    {
        QTest::addColumn<bool>("noControle");
        QTest::addColumn<QString>("ocupante");
        QTest::newRow("arquivo no controle") << true << "arquivo";
        QTest::newRow("link alheio no controle") << true << "link";
        QTest::newRow("simulador vivo no controle") << true << "socket vivo";
        QTest::newRow("arquivo no link") << false << "arquivo";
        QTest::newRow("link alheio no link") << false << "link";
    }
    void CaminhoOcupadoNaoEApagado()
    {
        QFETCH(bool, noControle);
        QFETCH(QString, ocupante);
        QTemporaryDir pasta;
        QVERIFY(pasta.isValid());
        QFile alheio(pasta.filePath("alheio.txt"));
        QVERIFY(alheio.open(QIODevice::WriteOnly));
        alheio.write("dados de outro programa\n");
        alheio.close();

        QString ocupado = pasta.filePath("ocupado");
        if (ocupante == "arquivo")
            QVERIFY(QFile::copy(alheio.fileName(), ocupado));
        else if (ocupante == "link")
            QVERIFY(QFile::link(alheio.fileName(), ocupado));
        else
            ocupado = Controle;
        const QString link = noControle ? pasta.filePath("tty") : ocupado;
        const QString controle = noControle ? ocupado : pasta.filePath("controle");

        QProcess outro;
        outro.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        outro.start(Executavel("concentrador-sim"), {"--link", link, "--controle", controle});
        const bool terminou = outro.waitForFinished(5000);
        if (!terminou) {
            outro.kill();
            outro.waitForFinished(5000);
        }
        QVERIFY2(terminou, "the second simulator took over an occupied path");
        QVERIFY(outro.exitCode() != 0);
        QVERIFY(outro.readAllStandardError().contains(QFile::encodeName(ocupado)));

        if (ocupante == "socket vivo") {
            QVERIFY(QFileInfo::exists(Controle));
            QCOMPARE(Estado("pendentes"), QString("0"));
        } else {
            const QFileInfo info(ocupado);
            QCOMPARE(info.isSymLink(), ocupante == "link");
            QFile sobrevivente(ocupado);
            QVERIFY(sobrevivente.open(QIODevice::ReadOnly));
            QCOMPARE(sobrevivente.readAll(), QByteArray("dados de outro programa\n"));
        }
        // What the refused start did create is gone again.
        QCOMPARE(QDir(pasta.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
                 ocupante == "socket vivo" ? QStringList{"alheio.txt"} : QStringList({"alheio.txt", "ocupado"}));
    }

    // Leftovers of a simulator that was killed are taken over: a socket nobody listens on and a
    // link to a pseudo-terminal that is gone.
    void RestosAbandonadosSaoReaproveitados()
    {
        QTemporaryDir pasta;
        QVERIFY(pasta.isValid());
        TSimuladorTeste outro;
        outro.Link = pasta.filePath("tty");
        outro.Controle = pasta.filePath("controle");
        QVERIFY(QFile::link("/dev/pts/999999", outro.Link));
        const int abandonado = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un endereco{};
        endereco.sun_family = AF_UNIX;
        const QByteArray caminho = QFile::encodeName(outro.Controle);
        QVERIFY(abandonado >= 0 && static_cast<std::size_t>(caminho.size()) < sizeof endereco.sun_path);
        std::memcpy(endereco.sun_path, caminho.constData(), static_cast<std::size_t>(caminho.size()) + 1);
        QCOMPARE(::bind(abandonado, reinterpret_cast<const sockaddr*>(&endereco), sizeof endereco), 0);
        ::close(abandonado);

        QVERIFY(outro.IniciaSimulador());
        bool aceito = false;
        for (int tentativa = 0; tentativa < 100 && !aceito; ++tentativa) {
            outro.Ctl({"estado"}, &aceito);
            if (!aceito)
                QTest::qWait(50);
        }
        QVERIFY(aceito);
        QVERIFY(QFileInfo(outro.Link).symLinkTarget().startsWith("/dev/pts/"));
        QVERIFY(QFileInfo(outro.Link).exists());
        outro.Simulador.terminate();
        QVERIFY(outro.Simulador.waitForFinished(5000));
        QCOMPARE(outro.Simulador.exitCode(), 0);
        QVERIFY(QDir(pasta.path()).isEmpty(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot));
    }

    // Last: stops and restarts the simulator behind the same path.
    void SimuladorReiniciado()
    {
        Simulador.terminate();
        QVERIFY(Simulador.waitForFinished(5000));
        QElapsedTimer relogio;
        relogio.start();
        // Silence is neither "nothing waiting" nor a status of every position free: the driver says so.
        QVERIFY_THROWS_EXCEPTION(EErroSemResposta, Driver.GetLeAbastecimento());
        QVERIFY_THROWS_EXCEPTION(EErroSemResposta, Driver.GetLeStatus());
        QVERIFY(relogio.elapsed() < 2 * LimiteChamadaMs);

        QVERIFY(IniciaSimulador());
        Ctl({"abastece", "bico=04", "litros=1", "preco=1", "id=12"});
        const TAbastecimento lido = Driver.GetLeAbastecimento();
        QCOMPARE(lido.Valido, 1);
        QCOMPARE(lido.Id, 12);
    }
};

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--leitor") == 0)
        return ExecutaLeitor(argc, argv);
    QCoreApplication aplicacao(argc, argv);
    TesteSimulador teste;
    return QTest::qExec(&teste, argc, argv);
}
#include "TesteSimulador.moc"
