// Start-up of the engine: one Linkor per station, and station settings that cannot work said
// plainly instead of leading to a wrong port or to no polling at all.
#include "PostoTeste.h"
#include "TravaInstancia.h"

#include <QDir>
#include <QScopeGuard>

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

private slots:
    void initTestCase()
    {
        // The locks of this run away from every other process on the machine.
        QVERIFY(Travas.isValid());
        qputenv("LINKOR_PASTA_TRAVAS", QFile::encodeName(Travas.path()));
    }

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
        TLinkor& motor = posto.CriaMotor();
        try {
            motor.Inicia();
            QFAIL("the start went on");
        } catch (const EErro& e) {
            QCOMPARE(e.Mensagem(), mensagem);
        }
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

    void TempoDeLeitura_data()
    {
        QTest::addColumn<qint64>("segundos");
        QTest::addColumn<int>("intervalo");
        QTest::addColumn<bool>("avisa");
        QTest::newRow("zero: sem leitura, como combinado") << qint64(0) << 0 << false;
        QTest::newRow("o maior que o timer aceita") << qint64(2147483) << 2147483000 << false;
        QTest::newRow("negativo") << qint64(-5) << 0 << true;
        QTest::newRow("alem do timer") << qint64(2147484) << 0 << true;
    }
    void TempoDeLeitura()
    {
        QFETCH(qint64, segundos);
        QFETCH(int, intervalo);
        QFETCH(bool, avisa);
        TPostoTeste posto;
        posto.Executa(QString("Update ParaPosto Set TEMPOLECONCENTRADOR = %1").arg(segundos));
        TCicloLeitura& ciclo = posto.IniciaMotor().Ciclo();
        QCOMPARE(ciclo.IntervaloLeitura(), intervalo);
        QCOMPARE(ciclo.LeituraAtiva(), intervalo > 0);
        const QString mensagem = QString("O tempo de leitura do concentrador (ParaPosto.TEMPOLECONCENTRADOR = %1) está "
                                         "fora do intervalo aceito, de 0 a 2147483 segundos: os abastecimentos não "
                                         "serão lidos até que ele seja corrigido em \"Tempo de busca\".")
                                     .arg(segundos);
        QCOMPARE(posto.Respondedor.Caixas.size(), avisa ? 1 : 0);
        QCOMPARE(posto.LinhasErro(), avisa ? QStringList("09/12/25 14:03:28 " + mensagem) : QStringList());
        if (avisa) {
            QCOMPARE(posto.Respondedor.Caixas[0].Tipo, TTipoMensagem::Alerta);
            QCOMPARE(posto.Respondedor.Caixas[0].Texto, mensagem);
        }
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
    // locks nothing, and the same place by another spelling is the same key.
    void TravaLargadaNaoPrende()
    {
        QTemporaryDir posto;
        const QString chave = TTravaInstancia::ChavePosto(posto.path());
        QFile largado(TTravaInstancia::ArquivoDaChave(chave));
        QVERIFY(largado.open(QIODevice::WriteOnly));
        largado.write("posto:/de/quem/morreu\npid 1\n");
        largado.close();

        TTravaInstancia primeira;
        QVERIFY(primeira.Adquire(chave));
        TTravaInstancia segunda;
        QVERIFY(!segunda.Adquire(TTravaInstancia::ChavePosto(posto.path() + "/./")));
        QVERIFY(!segunda.Adquirida());
        primeira.Libera();
        QVERIFY(!QFile::exists(largado.fileName()));
        QVERIFY(segunda.Adquire(chave));
    }

private:
    QTemporaryDir Travas;
};

QTEST_GUILESS_MAIN(TesteInicio)
#include "TesteInicio.moc"
