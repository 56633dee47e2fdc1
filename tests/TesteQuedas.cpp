// Power cuts: the real program, copied with its library into a temporary folder, frozen and killed
// at random moments (seeded) while fuelings come in, some right after it stored one and before its
// next read, then started again; on a station database without the unique key on MvAbast, so only
// the program stands between a fueling delivered again and a second row.
#include "Conexao.h"
#include "FalhasTeste.h"
#include "Posto.h"

#include <QDir>
#include <QTemporaryDir>

#include <csignal>
#include <random>

class TesteQuedas : public QObject, public TSimuladorTeste {
    Q_OBJECT
    QTemporaryDir Pasta;
    QString Programa;
    QString Banco;
    QProcess Linkor;

    void IniciaLinkor()
    {
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert("QT_QPA_PLATFORM", "offscreen");
        ambiente.insert("COMPANYTEC_PORTA1", Link);
        Linkor.setProcessEnvironment(ambiente);
        Linkor.setWorkingDirectory(Pasta.path());
        Linkor.setProcessChannelMode(QProcess::ForwardedChannels);
        Linkor.start(Programa, {});
        QVERIFY(Linkor.waitForStarted(5000));
    }

    // Bytes of every day's fueling log: it grows when a fueling was stored.
    qint64 TamanhoLogs() const
    {
        qint64 total = 0;
        for (const QFileInfo& f : QDir(Pasta.path()).entryInfoList({"LogLinkor*"}, QDir::Files))
            total += f.size();
        return total;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(Pasta.isValid());
        Programa = CopiaPrograma(Pasta.path());
        QVERIFY(!Programa.isEmpty());
        QVERIFY2(IniciaSimuladorNaPasta(Pasta.path()), "concentrador-sim did not come up");
        Banco = Pasta.filePath("POSTO.FDB");
        CriaBancoPosto(Banco, true);
        TConexao conexao;
        conexao.DefineParametro("Database", Banco);
        conexao.DefineParametro("User_Name", "SYSDBA");
        TConsulta comando(&conexao);
        comando.DefineSQL("Alter Table MvAbast Drop Constraint MvAbast_Fueling");
        comando.Executa();
        comando.DefineSQL("Update ParaPosto Set TEMPOLECONCENTRADOR = 1, SequenciaAbast = 7");
        comando.Executa();
        conexao.Desconecta();
        QFile ini(Pasta.filePath("Caminho.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(("[DATABASEESTOQUE]\r\nCAMINHO=" + Banco + "\r\nUSUARIO=SYSDBA\r\n").toUtf8());
    }

    void cleanupTestCase()
    {
        if (Linkor.state() != QProcess::NotRunning) {
            Linkor.kill();
            Linkor.waitForFinished(5000);
        }
        Simulador.terminate();
        QVERIFY(Simulador.waitForFinished(5000));
    }

    void QuedasDeEnergia()
    {
        std::mt19937 sorteio(20251209);
        const auto entre = [&](int de, int ate) { return std::uniform_int_distribution<int>(de, ate)(sorteio); };
        TOfertas ofertas;
        int id = 9985; // the ID passes 9999 halfway
        const int quedas = 6;
        IniciaLinkor();
        for (int queda = 0; queda < quedas; ++queda) {
            const qint64 antes = TamanhoLogs();
            for (int i = 0; i < 5; ++i)
                QVERIFY(ofertas.Oferece(*this, id = id % 9999 + 1, i % 2 ? "04" : "44"));
            if (queda % 2 == 0) {
                // Right after a fueling was stored, before the next read acknowledges it.
                QTRY_VERIFY_WITH_TIMEOUT(TamanhoLogs() > antes, 20000);
                QTest::qWait(entre(0, 900));
            } else {
                QTest::qWait(entre(200, 3000)); // anywhere: start-up, reading, storing, idle
            }
            const auto pid = static_cast<pid_t>(Linkor.processId());
            ::kill(pid, SIGSTOP);
            QTest::qWait(entre(0, 300));
            ::kill(pid, SIGKILL);
            QVERIFY(Linkor.waitForFinished(5000));
            IniciaLinkor();
        }
        // The last start: everything left is read and stored, then the program stops cleanly.
        QTRY_COMPARE_WITH_TIMEOUT(Estado("pendentes"), QString("0"), 90000);
        ::kill(static_cast<pid_t>(Linkor.processId()), SIGTERM);
        QVERIFY(Linkor.waitForFinished(10000));
        QCOMPARE(Linkor.exitCode(), 0);

        TConexao conexao;
        conexao.DefineParametro("Database", Banco);
        conexao.DefineParametro("User_Name", "SYSDBA");
        const TContagem contagem = ofertas.Confere(conexao);
        ImprimeFiguras("queda-de-energia", quedas, contagem);
        QFile erros(Pasta.filePath("LogErroConcentrador"));
        const QString textoErros = erros.open(QIODevice::ReadOnly) ? QString::fromUtf8(erros.readAll()) : QString();
        qInfo("entregues de novo e ignorados: %lld", textoErros.count("recebido novamente e ignorado"));
        QCOMPARE(contagem.Gravados, contagem.Oferecidos);
        QCOMPARE(contagem.Duplicados, 0);
        QCOMPARE(contagem.Estranhos, 0);
        // One wrap of the ID: one advance; rows before it carry 7, after it 8.
        QCOMPARE(Inteiro(conexao, "Select SequenciaAbast As Valor From ParaPosto"), qint64(8));
        QCOMPARE(Inteiro(conexao, "Select Count(*) As Valor From MvAbast Where (Id >= 9986 And Sequencia <> 7) "
                                  "Or (Id < 9986 And Sequencia <> 8)"),
                 qint64(0));
        conexao.Desconecta();
    }
};

QTEST_GUILESS_MAIN(TesteQuedas)
#include "TesteQuedas.moc"
