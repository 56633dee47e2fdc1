// Power cuts: the real program, copied with its library into a temporary folder, frozen and killed
// at random moments (seeded) while fuelings come in, some right after it stored one and before its
// next read, then started again; on a station database without the unique key on MvAbast, so only
// the program stands between a fueling delivered again and a second row. Then, against a Firebird
// server: closed or killed while a fueling waits for the stopped server, and two copies started at
// once. ctest runs it under both contracts of our library (teste_quedas_na_entrega: the vendor's).
#include "Conexao.h"
#include "Diario.h"
#include "FalhasTeste.h"
#include "Posto.h"
#include "ServidorFirebird.h"

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

    void IniciaLinkor(QProcess& linkor)
    {
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert("QT_QPA_PLATFORM", "offscreen");
        ambiente.insert("COMPANYTEC_PORTA1", Link);
        linkor.setProcessEnvironment(ambiente);
        linkor.setWorkingDirectory(Pasta.path());
        linkor.setProcessChannelMode(QProcess::ForwardedChannels);
        MorreComOTeste(linkor);
        linkor.start(Programa, {});
        QVERIFY(linkor.waitForStarted(5000));
    }
    void IniciaLinkor() { IniciaLinkor(Linkor); }

    static void Termina(QProcess& linkor)
    {
        ::kill(static_cast<pid_t>(linkor.processId()), SIGTERM);
        QVERIFY2(linkor.waitForFinished(10000), "linkor did not stop within 10 s of SIGTERM");
        QCOMPARE(linkor.exitCode(), 0);
    }

    QString LeErros() const
    {
        QFile erros(Pasta.filePath("LogErroConcentrador"));
        return erros.open(QIODevice::ReadOnly) ? QString::fromUtf8(erros.readAll()) : QString();
    }

    // A fresh station database at `banco` (and a fresh journal), without the unique key on MvAbast,
    // adjusted by `ajuste`; Caminho.ini points the program at `caminho` (the same file, or the
    // server's address of it).
    void PreparaPosto(const QString& banco, const QString& caminho, const QString& ajuste,
                      const QString& senha = QString())
    {
        // A new station: its journal begins empty too.
        for (const QString sufixo : {"", "-wal", "-shm"})
            QFile::remove(Pasta.filePath("Diario.sqlite" + sufixo));
        CriaBancoPosto(banco, true);
        TConexao conexao;
        conexao.DefineParametro("Database", banco);
        conexao.DefineParametro("User_Name", "SYSDBA");
        TConsulta comando(&conexao);
        comando.DefineSQL("Alter Table MvAbast Drop Constraint MvAbast_Fueling");
        comando.Executa();
        comando.DefineSQL(ajuste);
        comando.Executa();
        conexao.Desconecta();
        QFile ini(Pasta.filePath("Caminho.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(("[DATABASEESTOQUE]\r\nCAMINHO=" + caminho + "\r\nUSUARIO=SYSDBA\r\n"
                   + (senha.isEmpty() ? QString() : "SENHA=" + senha + "\r\n"))
                      .toUtf8());
    }

    // The same, as database `nome` served by `servidor`; `verifica` is the test's own attachment.
    void PreparaPostoNoServidor(TServidorFirebird& servidor, const QString& nome, TConexao& verifica)
    {
        QVERIFY2(servidor.Inicia(), qPrintable(servidor.Motivo()));
        const QString banco = Pasta.filePath(nome);
        PreparaPosto(banco, servidor.Endereco(banco), "Update ParaPosto Set TEMPOLECONCENTRADOR = 1", servidor.Senha());
        verifica.DefineParametro("Database", servidor.Endereco(banco));
        verifica.DefineParametro("User_Name", servidor.Usuario());
        verifica.DefineParametro("Password", servidor.Senha());
    }

    // Entries of the station's journal waiting for the database (-1 while it cannot be read).
    qint64 AguardandoNoDiario() const
    {
        try {
            return TDiario(TDiario::ArquivoDoPosto(Pasta.path() + '/'), TAberturaDiario::SoAbre).ContaAguardando();
        } catch (const std::exception&) {
            return -1;
        }
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
        PreparaPosto(Banco, Banco, "Update ParaPosto Set TEMPOLECONCENTRADOR = 1, SequenciaAbast = 7");
    }

    // A function that failed half-way leaves no copy running into the next one.
    void cleanup()
    {
        if (QTest::currentTestFailed()) // what the program said, for the failure's report
            qInfo("LogErroConcentrador:\n%s", qPrintable(LeErros().right(4000)));
        if (Linkor.state() != QProcess::NotRunning) {
            Linkor.kill();
            Linkor.waitForFinished(5000);
        }
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
                QTRY_VERIFY_WITH_TIMEOUT(TamanhoLogs() > antes, 30000);
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
        // The last start: everything left is read and stored, then the program stops cleanly. The
        // concentrator may have been drained into the journal before the last cut, so the fueling
        // log is what shows the program up and storing: it stops growing once all is stored.
        QTRY_COMPARE_WITH_TIMEOUT(Estado("pendentes"), QString("0"), 90000);
        for (qint64 tamanho = -1; tamanho != TamanhoLogs();) {
            tamanho = TamanhoLogs();
            QTest::qWait(3000);
        }
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
        // Under the vendor's contract a cut in the instant between the library's delivery and the
        // journal's commit loses that fueling; the seeded moments practically never hit it.
        if (ContratoNaEntrega() && contagem.Perdidos > 0)
            QEXPECT_FAIL("", "Under the vendor's contract a record delivered and not yet in the journal lives only "
                             "in the program's memory.",
                         Continue);
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

    // "&Sair" (here SIGTERM, the same close), or a power cut (SIGKILL), while a fueling waits for
    // a stopped server: it is in the journal, so the close acknowledges it at the device (under
    // either library contract), and the next run stores it from the journal, once.
    void FechaComAbastecimentoAguardandoOBanco_data()
    {
        QTest::addColumn<int>("sinal");
        QTest::newRow("sair") << int(SIGTERM);
        QTest::newRow("queda") << int(SIGKILL);
    }
    void FechaComAbastecimentoAguardandoOBanco()
    {
        QFETCH(int, sinal);
        TServidorFirebird servidor;
        TConexao verifica;
        PreparaPostoNoServidor(servidor, QString("FECHA-%1.FDB").arg(QTest::currentDataTag()), verifica);
        if (QTest::currentTestFailed())
            return;
        TOfertas ofertas;
        IniciaLinkor();
        QVERIFY(ofertas.Oferece(*this, 501));
        QTRY_COMPARE_WITH_TIMEOUT(GravadosNoServidor(verifica), qint64(1), 60000);

        servidor.Para();
        const qsizetype errosAntes = LeErros().size();
        QVERIFY(ofertas.Oferece(*this, 502));
        // In the journal, waiting for the server. The outage may have been noticed before the read
        // (then its line names no fueling), so the journal is what the test waits for.
        QTRY_COMPARE_WITH_TIMEOUT(AguardandoNoDiario(), qint64(1), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(LeErros().mid(errosAntes).contains("Banco de dados inacessível"), 60000);
        if (sinal == SIGTERM) {
            Termina(Linkor);
        } else {
            // Acknowledged at the device by the read after it was journalled; the cut comes after.
            QTRY_COMPARE_WITH_TIMEOUT(Estado("pendentes"), QString("0"), 60000);
            ::kill(static_cast<pid_t>(Linkor.processId()), SIGKILL);
            QVERIFY(Linkor.waitForFinished(5000));
        }
        QCOMPARE(Estado("pendentes"), QString("0")); // the journal's now

        QVERIFY2(servidor.Retoma(), qPrintable(servidor.Motivo()));
        IniciaLinkor();
        // A fueling offered after the restart is stored after the one that waited.
        QVERIFY(ofertas.Oferece(*this, 503));
        const auto ultimoGravado = [&] {
            return GravadosNoServidor(verifica) >= 0
                   && Inteiro(verifica, "Select Count(*) As Valor From MvAbast Where Id = 503") == 1;
        };
        QTRY_VERIFY_WITH_TIMEOUT(ultimoGravado(), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(Estado("pendentes"), QString("0"), 60000);
        Termina(Linkor);

        const TContagem contagem = ofertas.Confere(verifica);
        ImprimeFiguras(sinal == SIGTERM ? "fecha-com-pendente" : "queda-com-pendente", 1, contagem);
        QCOMPARE(contagem.Gravados, contagem.Oferecidos);
        QCOMPARE(contagem.Duplicados, 0);
        QCOMPARE(contagem.Estranhos, 0);
        verifica.Desconecta();
    }

    // A power cut (SIGKILL) while fuelings wait in the journal for a stopped server: the
    // concentrator was drained meanwhile (nothing pending there), and after the restart every
    // fueling is stored once from the journal. Before: they waited in the concentrator, one read per
    // tick once the server was back, and the one read waited in memory only.
    void QuedaComServidorParado()
    {
        TServidorFirebird servidor;
        TConexao verifica;
        PreparaPostoNoServidor(servidor, "QUEDA.FDB", verifica);
        if (QTest::currentTestFailed())
            return;
        TOfertas ofertas;
        IniciaLinkor();
        QVERIFY(ofertas.Oferece(*this, 801));
        QTRY_COMPARE_WITH_TIMEOUT(GravadosNoServidor(verifica), qint64(1), 60000);

        servidor.Para();
        for (int id = 802; id <= 806; ++id)
            QVERIFY(ofertas.Oferece(*this, id, id % 2 ? "04" : "44"));
        QTRY_COMPARE_WITH_TIMEOUT(Estado("pendentes"), QString("0"), 60000); // read into the journal
        const auto pid = static_cast<pid_t>(Linkor.processId());
        ::kill(pid, SIGSTOP);
        ::kill(pid, SIGKILL);
        QVERIFY(Linkor.waitForFinished(5000));

        QVERIFY2(servidor.Retoma(), qPrintable(servidor.Motivo()));
        IniciaLinkor();
        QTRY_COMPARE_WITH_TIMEOUT(GravadosNoServidor(verifica), qint64(ofertas.Lista.size()), 60000);
        QVERIFY(ofertas.Oferece(*this, 807)); // polling goes on
        QTRY_COMPARE_WITH_TIMEOUT(GravadosNoServidor(verifica), qint64(ofertas.Lista.size()), 60000);
        QTest::qWait(2000); // a late second row would show up by now
        Termina(Linkor);

        const TContagem contagem = ofertas.Confere(verifica);
        ImprimeFiguras("queda-com-servidor-parado", 1, contagem);
        QCOMPARE(contagem.Gravados, contagem.Oferecidos);
        QCOMPARE(contagem.Duplicados, 0);
        QCOMPARE(contagem.Estranhos, 0);
        verifica.Desconecta();
    }

    // Two copies started at once on one station folder and port (a double click): one serves the
    // station, the other refuses without touching it.
    void DuasInstanciasAoMesmoTempo()
    {
        TServidorFirebird servidor;
        TConexao verifica;
        PreparaPostoNoServidor(servidor, "DUAS.FDB", verifica);
        if (QTest::currentTestFailed())
            return;
        const qsizetype errosAntes = LeErros().size();
        QProcess outro;
        IniciaLinkor();
        IniciaLinkor(outro);
        TOfertas ofertas;
        for (int id = 601; id <= 621; ++id) {
            QVERIFY(ofertas.Oferece(*this, id, id % 2 ? "04" : "44"));
            QTest::qWait(150);
        }
        QTRY_COMPARE_WITH_TIMEOUT(Estado("pendentes"), QString("0"), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(GravadosNoServidor(verifica) >= qint64(ofertas.Lista.size()), 60000);
        QTest::qWait(2000); // a late second row would show up by now
        Termina(Linkor);
        Termina(outro);

        const TContagem contagem = ofertas.Confere(verifica);
        ImprimeFiguras("duas-instancias", 1, contagem);
        QCOMPARE(contagem.Gravados, contagem.Oferecidos);
        QCOMPARE(contagem.Duplicados, 0);
        QCOMPARE(contagem.Estranhos, 0);
        // The refused copy wrote nothing into the station's error log.
        QVERIFY(!LeErros().mid(errosAntes).contains("Erro na inicialização"));
        verifica.Desconecta();
    }
};

QTEST_GUILESS_MAIN(TesteQuedas)
#include "TesteQuedas.moc"
