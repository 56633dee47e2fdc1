// The whole program against the CompanyTec driver, our concentrator library and the simulated
// concentrator over a pseudo-terminal, with an embedded station database.
#include "Aplicacao.h"
#include "ClassCompanyTec.h"
#include "MenuPrin.h"
#include "PostoTeste.h"
#include "SimuladorTeste.h"

#include <QPlainTextEdit>

class TesteFimAFim : public QObject, public TSimuladorTeste {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The program finds the library beside its executable; the tests' folders are elsewhere.
        TCompanyTec::DefineArquivoBiblioteca(Executavel("libCompanytec.so"));
    }

    void RajadaChegaUmaVezEmOrdem()
    {
        TPostoTeste posto;
        QVERIFY2(IniciaSimuladorNaPasta(posto.Pasta.path()), "concentrador-sim did not come up");
        qputenv("COMPANYTEC_PORTA1", QFile::encodeName(Link));
        const QStringList bicos = {"04", "44", "05", "45", "04", "44", "05", "45"};
        for (int i = 0; i < bicos.size(); ++i) {
            bool aceito = false;
            Ctl({"abastece", "bico=" + bicos[i], QString("litros=%1.5").arg(10 + i), "preco=5.899",
                 "data=09/12/2025", QString("hora=10:00:%1").arg(i, 2, 10, QChar('0'))},
                &aceito);
            QVERIFY(aceito);
        }
        Ctl({"status", "1", "5", "0", "2"});

        posto.DriverReal = true;
        TMenuPrin janela(posto.CriaMotor());
        QTRY_VERIFY_WITH_TIMEOUT(janela.Iniciado(), 30000);
        QVERIFY2(posto.Respondedor.Caixas.isEmpty(), qPrintable(posto.Respondedor.Caixas.value(0).Texto));
        janela.Motor().Executa(&janela, [](TLinkor& linkor, const TRetorno&) { linkor.Ciclo().DefineIntervaloLeitura(20); });
        QTRY_COMPARE_WITH_TIMEOUT(posto.Linhas("Select Id From MvAbast", {"Id"}).size(), bicos.size(), 30000);
        // A few more ticks: nothing more arrives, and the last fueling is acknowledged.
        QTest::qWait(300);
        janela.close();
        QTRY_COMPARE_WITH_TIMEOUT(Estado("pendentes"), QString("0"), 30000);

        const QStringList linhas = posto.Linhas("Select Id, CodBico, Litragem, Hora, Sequencia From MvAbast Order By Id",
                                                {"Id", "CodBico", "Litragem", "Hora", "Sequencia"});
        QCOMPARE(linhas.size(), bicos.size());
        const QMap<QString, QString> codBico = {{"04", "01"}, {"05", "02"}, {"44", "03"}, {"45", "04"}};
        for (int i = 0; i < bicos.size(); ++i)
            QCOMPARE(linhas[i], QString("%1|%2|%3,5|10:00:%4|1")
                                    .arg(i + 1)
                                    .arg(codBico[bicos[i]])
                                    .arg(10 + i)
                                    .arg(i, 2, 10, QChar('0')));
        const QStringList log = janela.VisualizaLog->toPlainText().split('\n');
        QCOMPARE(log.size(), bicos.size());
        for (int i = 0; i < bicos.size(); ++i)
            QVERIFY2(log[i].contains(QString("  001  %1   ").arg(i + 1, 4, 10, QChar('0'))), qPrintable(log[i]));
        QCOMPARE(posto.LinhasLog().size(), bicos.size());
        QVERIFY2(posto.LinhasErro().isEmpty(), qPrintable(posto.LinhasErro().join('\n')));

        // Status bytes 1, 5, 0, 2 for positions 1 to 4 reach the nozzles the concentrator has; the
        // station's codes on channels where it reports no nozzle keep what they had.
        const QStringList status = posto.Linhas("Select CodConcentrador, statusbico From Bombas Where CodConcentrador "
                                                "Is Not Null Order By CodConcentrador",
                                                {"CodConcentrador", "statusbico"});
        for (const char* esperado : {"004|P", "005|B", "068|P", "069|B", "132|L", "133|L", "196|L", "197|L"})
            QVERIFY2(status.contains(esperado), qPrintable(status.join(' ')));

        Simulador.terminate();
        QVERIFY(Simulador.waitForFinished(5000));
    }
};

int main(int argc, char** argv)
{
    TAplicacao aplicacao(argc, argv);
    TesteFimAFim teste;
    return QTest::qExec(&teste, argc, argv);
}
#include "TesteFimAFim.moc"
