// Start-up of the engine: one Linkor per station, and station settings that cannot work said
// plainly instead of leading to a wrong port or to no polling at all.
#include "NotificacaoTeste.h"
#include "PostoTeste.h"
#include "SimuladorTeste.h"
#include "TravaInstancia.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>

#include <csignal>
#include <unistd.h>

class TesteInicio : public QObject {
    Q_OBJECT

    // Names and sizes of everything in the station folder.
    static QStringList Conteudo(const QString& pasta)
    {
        QStringList itens;
        for (const QFileInfo& f : QDir(pasta).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
            itens << QString("%1 %2 %3").arg(f.fileName()).arg(f.size()).arg(f.lastModified().toMSecsSinceEpoch());
        return itens;
    }

    // The message of a start-up that must fail; a start that goes on is itself the failure.
    static QString FalhaNaPartida(TPostoTeste& posto)
    {
        try {
            posto.CriaMotor().Inicia();
        } catch (const EErro& e) {
            return e.Mensagem();
        }
        return QStringLiteral("(the start went on)");
    }

private slots:
    void ParametroQueImpedeAPartida_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("mensagem");
        QTest::newRow("porta vazia") << "Update ParaPosto Set PortaConc = ''"
                                     << "A porta serial do concentrador não foi informada (ParaPosto.PortaConc está "
                                        "vazio): use COM1 a COM255.";
        QTest::newRow("porta nula") << "Update ParaPosto Set PortaConc = Null"
                                    << "A porta serial do concentrador não foi informada (ParaPosto.PortaConc está "
                                       "vazio): use COM1 a COM255.";
        QTest::newRow("LPT1 nao e serial") << "Update ParaPosto Set PortaConc = 'LPT1'"
                                           << "A porta do concentrador 'LPT1' não é uma porta serial: use COM1 a "
                                              "COM255.";
        // No interval a station means: refused before the concentrator is touched.
        const QString tempo = "O tempo de leitura do concentrador (ParaPosto.TEMPOLECONCENTRADOR = %1) está fora do "
                              "intervalo aceito, de 0 a 3600 segundos.\rCorrija-o no banco de dados do posto e inicie "
                              "o Linkor novamente.";
        QTest::newRow("tempo 99999") << "Update ParaPosto Set TEMPOLECONCENTRADOR = 99999" << tempo.arg(99999);
        QTest::newRow("tempo 3601") << "Update ParaPosto Set TEMPOLECONCENTRADOR = 3601" << tempo.arg(3601);
        QTest::newRow("tempo negativo") << "Update ParaPosto Set TEMPOLECONCENTRADOR = -5" << tempo.arg(-5);
        QTest::newRow("sem linha em ParaPosto") << "Delete From ParaPosto"
                                                << "A tabela ParaPosto não tem nenhuma linha: os parâmetros do posto "
                                                   "não foram cadastrados.";
    }
    void ParametroQueImpedeAPartida()
    {
        QFETCH(QString, sql);
        QFETCH(QString, mensagem);
        TPostoTeste posto;
        posto.Executa(sql);
        QCOMPARE(FalhaNaPartida(posto), mensagem);
        // No port was opened, and no box came before the failure path's own.
        QVERIFY(!posto.Falso || posto.Falso->Porta == -1);
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
    }

    // A Caminho.ini that names no database stops the whole start-up at the database, with the
    // file's name: no driver, no polling, and a Tankora.gdb in the current folder (the database an
    // unconfigured connection once opened by itself) is never attached.
    void CaminhoIniSemBancoParaAPartida()
    {
        TPostoTeste posto;
        posto.EscreveArquivo("Caminho.ini", QByteArray());
        QVERIFY(QFile::copy(posto.Banco, posto.Pasta.filePath("Tankora.gdb")));
        const QString antes = QDir::currentPath();
        QDir::setCurrent(posto.Pasta.path());
        auto volta = qScopeGuard([&] { QDir::setCurrent(antes); });
        TLinkor& motor = posto.CriaMotor();
        try {
            motor.Inicia();
            QFAIL("the start went on");
        } catch (const EErro& e) {
            QVERIFY2(e.Mensagem().contains("Caminho.ini"), qPrintable(e.Mensagem()));
        }
        QVERIFY(!posto.Falso); // the driver was never made
        QVERIFY(!posto.Contexto->CnTankora().Conectado());
        QVERIFY(posto.Respondedor.Caixas.isEmpty()); // the failure path's box is the only one
        QVERIFY_THROWS_EXCEPTION(EErroBanco, motor.Parametros().Abre());
        QVERIFY(!posto.Contexto->CnTankora().Conectado());
    }

    // A station database that lacks what the start-up reads: the server's own (English) text never
    // reaches the operator alone; a Portuguese sentence saying what was being read comes first, the
    // server's text on the lines after it.
    void BancoIncompletoNaPartida_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("doServidor");
        QTest::newRow("sem a tabela ParaPosto") << "Drop Table ParaPosto" << "PARAPOSTO";
        QTest::newRow("sem a coluna PortaConc") << "Alter Table ParaPosto Drop PortaConc" << "PORTACONC";
    }
    void BancoIncompletoNaPartida()
    {
        QFETCH(QString, sql);
        QFETCH(QString, doServidor);
        TPostoTeste posto;
        posto.Executa(sql);
        const QString mensagem = FalhaNaPartida(posto);
        const QStringList linhas = mensagem.split('\r');
        QCOMPARE(linhas.first(), QString("Erro ao ler os parâmetros do posto (tabela ParaPosto) no banco de dados."));
        QVERIFY2(linhas.size() > 1 && linhas.mid(1).join(' ').toUpper().contains(doServidor), qPrintable(mensagem));
        QVERIFY(!posto.Falso);
    }

    // The service under systemd: a Caminho.ini that names no database cannot work until the
    // technician mends it, so the service ends at once with EX_CONFIG (78), which the unit does not
    // restart, the cause as its status; a database that cannot be reached may come back, so the
    // service waits for it, says so, and a stop in that wait is an ordinary stop.
    void ServicoComCaminhoIniQuebrado_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("causa");
        QTest::newRow("vazio") << QByteArray() << "O arquivo Caminho.ini está vazio.";
        QTest::newRow("sem CAMINHO") << QByteArray("[DATABASEESTOQUE]\r\nUSUARIO=SYSDBA\r\nSENHA=masterkey\r\n")
                                     << "O arquivo Caminho.ini não tem a seção [DATABASEESTOQUE] com a chave CAMINHO.";
        QTest::newRow("outra seção") << QByteArray("[OUTRA]\r\nCAMINHO=/var/lib/linkor/POSTO.FDB\r\n")
                                     << "O arquivo Caminho.ini não tem a seção [DATABASEESTOQUE] com a chave CAMINHO.";
        // A server port nobody listens on: refused at once, every time.
        QTest::newRow("banco inacessível") << QByteArray("[DATABASEESTOQUE]\r\nCAMINHO=127.0.0.1/1:/posto.fdb\r\n")
                                           << QString();
    }
    void ServicoComCaminhoIniQuebrado()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, causa);
        QTemporaryDir posto;
        QFile arquivo(posto.filePath("Caminho.ini"));
        QVERIFY(arquivo.open(QIODevice::WriteOnly));
        arquivo.write(ini);
        arquivo.close();
        TReceptorNotificacoes gerente(posto.filePath("notify.sock"));
        QVERIFY(gerente.Ligado);
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert("NOTIFY_SOCKET", posto.filePath("notify.sock"));
        ambiente.remove("LINKOR_POSTO");
        QProcess servico;
        servico.setProcessEnvironment(ambiente);
        MorreComOTeste(servico);
        servico.start(Executavel("linkor-servico"), {"--posto", posto.path()});
        QVERIFY(servico.waitForStarted(5000));
        const auto estado = [&gerente](const QString& texto) {
            gerente.Novas();
            for (const QString& m : gerente.Recebidas)
                if (m.contains("STATUS=" + texto))
                    return true;
            return false;
        };
        if (causa.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(estado("Banco de dados inacessível; nova tentativa em"), 30000);
            QCOMPARE(servico.state(), QProcess::Running);
            ::kill(static_cast<pid_t>(servico.processId()), SIGTERM);
            QVERIFY(servico.waitForFinished(20000));
            QCOMPARE(servico.exitStatus(), QProcess::NormalExit);
            QCOMPARE(servico.exitCode(), 0);
            return;
        }
        QVERIFY(servico.waitForFinished(20000));
        QCOMPARE(servico.exitStatus(), QProcess::NormalExit);
        QCOMPARE(servico.exitCode(), 78);
        QVERIFY2(estado("Parado: Impossível conectar ao banco de dados pelo seguinte motivo: " + causa),
                 qPrintable(gerente.Recebidas.join(" | ")));
        QVERIFY2(QString::fromUtf8(servico.readAllStandardError()).contains(causa), "the journal has the cause");
        QVERIFY(!gerente.Chegou("READY=1"));
    }

    void TempoDeLeitura_data()
    {
        QTest::addColumn<qint64>("segundos");
        QTest::newRow("zero: sem leitura, como combinado") << qint64(0);
        QTest::newRow("um segundo") << qint64(1);
        QTest::newRow("uma hora, o maior aceito") << qint64(3600);
    }
    void TempoDeLeitura()
    {
        QFETCH(qint64, segundos);
        TPostoTeste posto;
        posto.Executa(QString("Update ParaPosto Set TEMPOLECONCENTRADOR = %1").arg(segundos));
        TCicloLeitura& ciclo = posto.IniciaMotor().Ciclo();
        QCOMPARE(ciclo.IntervaloLeitura(), int(segundos * 1000));
        QCOMPARE(ciclo.LeituraAtiva(), segundos > 0);
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
        QVERIFY(posto.LinhasErro().isEmpty());
    }

    // A second engine on the same station folder refuses before it writes, connects or opens
    // anything; once the first is gone, it starts.
    void SegundoLinkorNoMesmoPosto()
    {
        TPostoTeste posto;
        posto.IniciaMotor();
        const QStringList antes = Conteudo(posto.Pasta.path());

        TRespondedorTeste respondedor;
        TContexto contexto(posto.Relogio, respondedor, TConfiguracaoRegional::PtBr());
        int drivers = 0;
        TLinkor segundo(contexto, [&]() -> std::unique_ptr<TConcentrador> {
            ++drivers;
            return std::make_unique<TConcentradorFalso>();
        });
        try {
            segundo.Inicia();
            QFAIL("two engines on one station");
        } catch (const EOutraInstancia& e) {
            QCOMPARE(e.Mensagem(), "Já existe um Linkor aberto para este posto (pasta " + posto.Relogio.Pasta
                                       + ").\rEste não será iniciado: use o que já está aberto.");
        }
        QCOMPARE(drivers, 0);
        QVERIFY(!contexto.CnTankora().Conectado());
        QVERIFY(respondedor.Caixas.isEmpty());
        QCOMPARE(Conteudo(posto.Pasta.path()), antes);

        posto.Motor.reset();
        segundo.Inicia();
        QCOMPARE(drivers, 1);
    }

    // The lock is the open file's, not the file's: a file left by a holder that died (a power cut)
    // locks nothing, and the same folder by another spelling is the same lock.
    void TravaLargadaNaoPrende()
    {
        QTemporaryDir posto;
        QFile largado(TTravaInstancia::ArquivoDoPosto(posto.path()));
        QVERIFY(largado.open(QIODevice::WriteOnly));
        largado.write("de quem morreu\n");
        largado.close();

        TTravaInstancia primeira;
        QVERIFY(primeira.AdquirePosto(posto.path()));
        TTravaInstancia segunda;
        QVERIFY(!segunda.AdquirePosto(posto.path() + "/./"));
        QVERIFY(!segunda.Adquirida());
        primeira.Libera();
        QVERIFY(segunda.AdquirePosto(posto.path()));
    }

    // Another account: one that is not Linkor's cannot take the station's lock (it cannot open
    // the folder), whatever it holds elsewhere; a Linkor under another account and another
    // TMPDIR is still turned away by ours.
    void TravaEntreUsuarios()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to run commands as nobody");
        QTemporaryDir posto;
        QTemporaryDir outroTemp;
        // What a station folder is: the service's and the operators' group only.
        QVERIFY(QFile::setPermissions(posto.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                        | QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup));
        // An outsider holding every lock it can, here and in the shared lock folder, blocks nothing.
        QProcess intruso;
        intruso.start("runuser", {"-u", "nobody", "--", "sh", "-c",
                                  "flock -n /run/lock/linkor-intruso.trava sleep 30 & flock -n '"
                                      + TTravaInstancia::ArquivoDoPosto(posto.path()) + "' sleep 30; wait"});
        QVERIFY(intruso.waitForStarted());
        const auto fim = qScopeGuard([&] {
            intruso.kill();
            intruso.waitForFinished();
            QFile::remove("/run/lock/linkor-intruso.trava");
        });
        QTest::qWait(300);
        TTravaInstancia nossa;
        QVERIFY(nossa.AdquirePosto(posto.path()));

        // A Linkor of another account of the station's group, under another TMPDIR.
        QVERIFY(outroTemp.isValid());
        constexpr gid_t grupoNobody = 65534;
        QVERIFY(::chown(QFile::encodeName(posto.path()).constData(), 0, grupoNobody) == 0);
        QVERIFY(::chown(QFile::encodeName(TTravaInstancia::ArquivoDoPosto(posto.path())).constData(), 0, grupoNobody)
                == 0);
        QVERIFY(::chown(QFile::encodeName(outroTemp.path()).constData(), 65534, 65534) == 0);
        QProcess outro;
        outro.start("runuser", {"-u", "nobody", "--", "env", "TMPDIR=" + outroTemp.path(), "QT_QPA_PLATFORM=offscreen",
                                Executavel("linkor-servico"), "--posto", posto.path()});
        QVERIFY(outro.waitForFinished(20000));
        const QString saida = QString::fromUtf8(outro.readAllStandardError());
        QVERIFY2(saida.contains("Já existe um Linkor aberto para este posto"), qPrintable(saida));
        QVERIFY(outro.exitCode() != 0);
    }

    // A link planted where the lock goes is refused and what it points at is left alone.
    void LinkNoLugarDaTravaRecusado()
    {
        QTemporaryDir posto;
        QTemporaryDir fora;
        const QString alvo = fora.filePath("alvo");
        QFile arquivo(alvo);
        QVERIFY(arquivo.open(QIODevice::WriteOnly));
        arquivo.write("intacto");
        arquivo.close();
        const QString trava = TTravaInstancia::ArquivoDoPosto(posto.path());
        for (const QString& destino : {alvo, fora.filePath("ainda-nao-existe")}) {
            QFile::remove(trava);
            QVERIFY(QFile::link(destino, trava));
            TTravaInstancia t;
            try {
                t.AdquirePosto(posto.path());
                QFAIL("a planted link was followed");
            } catch (const EErro& e) {
                QCOMPARE(e.Mensagem(), "A trava do posto " + trava
                                           + " é um link simbólico: o Linkor não segue links na pasta do posto. Apague o "
                                             "link e inicie de novo.");
            }
            QVERIFY(!t.Adquirida());
        }
        QVERIFY(arquivo.open(QIODevice::ReadOnly));
        QCOMPARE(arquivo.readAll(), QByteArray("intacto"));
        QVERIFY(!QFile::exists(fora.filePath("ainda-nao-existe")));
    }

};

QTEST_GUILESS_MAIN(TesteInicio)
#include "TesteInicio.moc"
