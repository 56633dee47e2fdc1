// A slow but working line: the device takes its time before it answers and the answer crawls at
// 9600 baud. Through the driver, our library and the simulator, every fueling is read, once.
#include "ClassCompanyTec.h"
#include "Erro.h"
#include "SimuladorTeste.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

class TesteLinhaLenta : public QObject, public TSimuladorTeste {
    Q_OBJECT
    QTemporaryDir Pasta;
    TCompanyTec Driver;

private slots:
    void initTestCase()
    {
        QVERIFY(Pasta.isValid());
        Link = Pasta.filePath("ttyCT");
        Controle = Pasta.filePath("controle");
        QVERIFY2(IniciaSimulador(), "concentrador-sim did not come up");
        qputenv("COMPANYTEC_PORTA2", QFile::encodeName(Link));
        Driver.PCarregaDllConcentrador();
        QVERIFY(Driver.InicializaSerial(2));
    }
    void cleanupTestCase()
    {
        Driver.FinalizaSerial(TUltimoEntregue::Confirma);
        Simulador.terminate();
        QVERIFY(Simulador.waitForFinished(5000));
    }

    // A 750 ms turnaround (exchanges of about 910 ms) is read from the first request; a turnaround
    // past the library's first wait is learnt from the late answer, and read from then on. The
    // fuelings come in order, none lost, none twice.
    void LinhaLentaELida_data()
    {
        QTest::addColumn<int>("atraso");
        QTest::addColumn<int>("perdidas"); // requests that may go unanswered while the line is learnt
        QTest::newRow("750 ms a 9600 baud") << 750 << 0;
        QTest::newRow("1500 ms a 9600 baud") << 1500 << 1;
    }
    void LinhaLentaELida()
    {
        QFETCH(int, atraso);
        QFETCH(int, perdidas);
        QCOMPARE(Ctl({"falha", "modo=lento", QString("atraso=%1").arg(atraso), "baud=9600"}), QString());
        QList<int> ids;
        for (int id = 201; id <= 203; ++id) {
            Ctl({"abastece", "bico=44", "litros=5", "preco=6", QString("id=%1").arg(id + atraso)});
        }
        int semResposta = 0;
        QElapsedTimer relogio;
        relogio.start();
        while (ids.size() < 3 && relogio.elapsed() < 60000) {
            try {
                const TAbastecimento lido = Driver.GetLeAbastecimento();
                QVERIFY(lido.Valido);
                ids << lido.Id;
            } catch (const EErroSemResposta&) {
                ++semResposta;
            }
        }
        QCOMPARE(ids, QList<int>({201 + atraso, 202 + atraso, 203 + atraso}));
        QVERIFY2(semResposta <= perdidas, qPrintable(QString::number(semResposta)));
        // Nothing waits any more, and the last one is acknowledged by the read that says so.
        QCOMPARE(Driver.GetLeAbastecimento().Valido, 0);
        QCOMPARE(Estado("pendentes"), QString("0"));
        Ctl({"falha", "modo=normal"});
    }
};

QTEST_GUILESS_MAIN(TesteLinhaLenta)
#include "TesteLinhaLenta.moc"
