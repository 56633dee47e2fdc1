#include "Aplicacao.h"
#include "MenuPrin.h"
#include "PostoTeste.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSemaphore>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QCloseEvent>
#include <qtestspontaneevent.h>

namespace {
// The window, its engine on its own thread, once start-up ended (ran through or asked for the end).
std::unique_ptr<TMenuPrin> AbreJanela(TPostoTeste& posto)
{
    auto janela = std::make_unique<TMenuPrin>(posto.CriaMotor());
    if (!QTest::qWaitFor([&] { return janela->Iniciado() || janela->FimSolicitado(); }, 20000))
        qWarning("start-up did not end");
    return janela;
}

// Runs `trabalho` on the engine's thread between ticks and waits for its end; what it touched is
// then safe to read here.
bool NoMotor(TMenuPrin& janela, const std::function<void(TLinkor&)>& trabalho)
{
    bool pronto = false;
    QString falha;
    janela.Motor().Executa(
        &janela, [&](TLinkor& linkor, const TRetorno&) { trabalho(linkor); },
        [&](const QString& erro) {
            falha = erro;
            pronto = true;
        });
    if (!QTest::qWaitFor([&] { return pronto; }, 20000) || !falha.isEmpty()) {
        qWarning("job failed: %s", qPrintable(falha));
        return false;
    }
    return true;
}
} // namespace

class TesteMenuPrin : public QObject {
    Q_OBJECT
private slots:
    void PartidaChegaAoTimer()
    {
        TPostoTeste posto;
        posto.EscreveArquivo("tankoraecf.ini", "[Posto]\r\nusa_fid = S\r\n");
        auto janela = std::make_unique<TMenuPrin>(posto.CriaMotor());
        QVERIFY(!janela->ToolBar1->isEnabled()); // until the engine is ready
        QTRY_VERIFY_WITH_TIMEOUT(janela->Iniciado(), 30000);
        QVERIFY(janela->ToolBar1->isEnabled());
        QVERIFY(!janela->FimSolicitado());
        bool ativa = false;
        int intervalo = 0;
        bool fid = false;
        QThread* thread = nullptr;
        QVERIFY(NoMotor(*janela, [&](TLinkor& linkor) {
            ativa = linkor.Ciclo().LeituraAtiva();
            intervalo = linkor.Ciclo().IntervaloLeitura();
            fid = linkor.Ciclo().UsaFid();
            thread = QThread::currentThread();
        }));
        QVERIFY(thread != QThread::currentThread()); // the engine runs on a thread of its own
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
        QCOMPARE(posto.Falso->Porta, 1);
        QVERIFY(!posto.Falso->RelogioAcertado);
        QVERIFY(ativa);
        QCOMPARE(intervalo, 1000);
        QVERIFY(fid);
        QCOMPARE(janela->CabecalhoLog->toPlainText().split('\n').size(), 4);

        // The toolbar, left to right.
        QStringList titulos;
        for (QToolButton* b : {janela->SpEncerrantes, janela->SpAlteraPreco, janela->SpeedButton2,
                               janela->SpeedButton3, janela->SpeedButton1, janela->btnConfTempoBusca})
            titulos << b->text();
        QCOMPARE(titulos, QStringList({"&Capturar Enc.", "&Altera Preços", "&Data/Hora", "&Bloq./Desb. Bico",
                                       "&Capturar Abast.", "&Tempo de busca"}));

        // First showing: tip takes the design caption, then the caption changes; the next showing
        // puts the new caption into the tip.
        QVERIFY(janela->DicaBandeja().isEmpty());
        janela->show();
        QCOMPARE(janela->DicaBandeja(), QString("Comunicação com o Concentrador CompanyTec v15.11dc"));
        QCOMPARE(janela->windowTitle(), QString("Tankora for Windows - Comunicador CompanyTec v15.11dc"));
        janela->hide();
        janela->show();
        QCOMPARE(janela->DicaBandeja(), QString("Tankora for Windows - Comunicador CompanyTec v15.11dc"));

        // "&Sair": the engine finalises itself on its thread, and comes back to this one.
        janela->Sair1->trigger();
        QVERIFY(posto.Falso->Finalizado);
        QCOMPARE(posto.Motor->thread(), QThread::currentThread());
        QVERIFY(!janela->Motor().Abandonado());
    }

    // The tray tip tells, once a fueling is stored, how many today since the start and the last
    // one's time, under the title or under what is wrong.
    void DicaComAbastecimentos()
    {
        TPostoTeste posto;
        auto janela = AbreJanela(posto);
        QVERIFY(NoMotor(*janela, [](TLinkor& linkor) { linkor.Ciclo().ParaLeitura(); }));
        janela->show();
        const QString titulo = janela->DicaBandeja();
        QVERIFY(!titulo.contains("gravado"));
        TCicloLeitura& ciclo = posto.Ciclo();
        emit ciclo.LinhaLogEscrita("um");
        emit ciclo.LinhaLogEscrita("dois");
        const QString resumo = "\n2 gravado(s) hoje desde a partida; último às "
                               + QDate::currentDate().toString("dd/MM/yyyy") + " ";
        QVERIFY2(janela->DicaBandeja().startsWith(titulo + resumo), qPrintable(janela->DicaBandeja()));
        emit ciclo.AvisoAlterado("Banco de dados inacessível.");
        QVERIFY2(janela->DicaBandeja().startsWith("Banco de dados inacessível." + resumo), qPrintable(janela->DicaBandeja()));
    }

    // What is wrong while the database, the logs or the concentrator fail: the status bar and the
    // tray tip say it, and one notice that does not block the window shows it and goes away by
    // itself when all is well again.
    void AvisoNaoModal()
    {
        TPostoTeste posto;
        auto janela = AbreJanela(posto);
        QVERIFY(NoMotor(*janela, [](TLinkor& linkor) { linkor.Ciclo().ParaLeitura(); }));
        janela->show();
        const QString titulo = janela->DicaBandeja();
        TCicloLeitura& ciclo = posto.Ciclo();
        emit ciclo.AvisoAlterado("Banco de dados inacessível: um abastecimento aguarda para ser gravado.");
        QMessageBox* aviso = janela->Aviso();
        QVERIFY(aviso);
        QTRY_VERIFY_WITH_TIMEOUT(aviso->isVisible(), 30000);
        QCOMPARE(aviso->windowModality(), Qt::NonModal);
        QCOMPARE(aviso->windowTitle(), QString("Alerta"));
        QCOMPARE(janela->DicaBandeja(), QString("Banco de dados inacessível: um abastecimento aguarda para ser gravado."));
        aviso->close(); // the operator closes it: the same outage does not bring it back
        emit ciclo.AvisoAlterado("Banco de dados inacessível. A leitura continua sozinha quando o banco voltar.");
        QVERIFY(!aviso->isVisible());
        QCOMPARE(aviso->text(), QString("Banco de dados inacessível. A leitura continua sozinha quando o banco voltar."));
        emit ciclo.AvisoAlterado(QString());
        QCOMPARE(janela->DicaBandeja(), titulo);
        QVERIFY(!janela->EmFalha());
        emit ciclo.AvisoAlterado("Os arquivos de log não podem ser gravados.");
        QTRY_VERIFY_WITH_TIMEOUT(aviso->isVisible(), 30000); // a new outage, a new notice
        QCOMPARE(janela->Aviso(), aviso);
        QVERIFY(janela->EmFalha());
        // Closed during one fault, the notice comes back when another starts; the tray icon shows
        // a fault until all is well.
        aviso->close();
        const QString concentrador = "O concentrador não responde (sem resposta). A leitura continua sozinha quando ele "
                                     "voltar a responder.";
        emit ciclo.AvisoAlterado("Os arquivos de log não podem ser gravados.\n" + concentrador);
        QTRY_VERIFY_WITH_TIMEOUT(aviso->isVisible(), 30000);
        aviso->close();
        emit ciclo.AvisoAlterado(concentrador); // one fault cleared, none new
        QVERIFY(!aviso->isVisible());
        QVERIFY(janela->EmFalha());
        emit ciclo.AvisoAlterado(QString());
        QTRY_VERIFY_WITH_TIMEOUT(!aviso->isVisible(), 30000);
        QVERIFY(!janela->EmFalha());
        QVERIFY(posto.Respondedor.Caixas.isEmpty());

        // The status bar: the cycle's own words when it has them; while it only animates, the
        // engine's report stands there, and the animation comes back when all is well.
        emit ciclo.TextoStatusAlterado(" Procurando Abastecimentos...");
        emit ciclo.AvisoAlterado("Concentrador sem resposta.\nConfira o cabo.");
        QCOMPARE(janela->TextoPainel(0), QString(" Concentrador sem resposta."));
        emit ciclo.TextoStatusAlterado(kStatusBancoInacessivel);
        QCOMPARE(janela->TextoPainel(0), kStatusBancoInacessivel);
        emit ciclo.TextoStatusAlterado(" Procurando Abastecimentos....");
        emit ciclo.AvisoAlterado(QString());
        QCOMPARE(janela->TextoPainel(0), QString(" Procurando Abastecimentos...."));
    }

    // The first panel shows the engine's whole status, counts included, and the fueling count
    // beside it stays whole too: " Banco inacessível: 17 abastecimentos aguardando" lost its last
    // letter to the panel's fixed width.
    void StatusCabeInteiro_data()
    {
        QTest::addColumn<QString>("status");
        QTest::newRow("animação") << " Procurando Abastecimentos..............";
        QTest::newRow("um aguardando") << kStatusBancoInacessivel;
        QTest::newRow("inacessível") << " Banco inacessível: 17 abastecimentos aguardando";
        QTest::newRow("inacessível, milhares") << " Banco inacessível: 9999 abastecimentos aguardando";
        QTest::newRow("ocupado") << " Banco ocupado: 1234 abastecimentos aguardando";
        QTest::newRow("recusa") << " Banco recusa os abastecimentos (1234 aguardando): chame o técnico";
        QTest::newRow("retidos") << " 1234 abastecimentos retidos: chame o técnico";
    }
    void StatusCabeInteiro()
    {
        QFETCH(QString, status);
        TPostoTeste posto;
        auto janela = AbreJanela(posto);
        QVERIFY(NoMotor(*janela, [](TLinkor& linkor) { linkor.Ciclo().ParaLeitura(); }));
        janela->show();
        QVERIFY(QTest::qWaitForWindowExposed(janela.get()));
        emit posto.Ciclo().TextoStatusAlterado(status);
        janela->VisualizaLog->setPlainText(QStringList(1234, "x").join('\n'));
        QCOMPARE(janela->TextoPainel(0), status);
        QCOMPARE(janela->TextoPainel(1), QString("Total de Abastecimentos: 1234"));
        const auto paineis = janela->statusBar()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(paineis.size(), 2);
        for (QLabel* painel : paineis) {
            QTRY_VERIFY_WITH_TIMEOUT(painel->isVisible(), 30000);
            const QRect area = painel->contentsRect();
            QVERIFY2(painel->fontMetrics().horizontalAdvance(painel->text()) <= area.width(),
                     qPrintable(QStringLiteral("\"%1\" em %2 pixels").arg(painel->text()).arg(area.width())));
            QVERIFY2(painel->geometry().right() < janela->statusBar()->width(), qPrintable(painel->text()));
        }
    }

    void PortaEParametros_data()
    {
        QTest::addColumn<QString>("porta");
        QTest::addColumn<QString>("acerta");
        QTest::addColumn<int>("tempo");
        QTest::addColumn<int>("esperada");
        QTest::newRow("COM3") << "COM3" << "S" << 5 << 3;
        QTest::newRow("COM12 abre a 12") << "COM12" << "N" << 0 << 12;
        QTest::newRow("COM1:") << "COM1:" << "s" << 1 << 1;
    }
    void PortaEParametros()
    {
        QFETCH(QString, porta);
        QFETCH(QString, acerta);
        QFETCH(int, tempo);
        QFETCH(int, esperada);
        TPostoTeste posto;
        posto.Executa(QString("Update ParaPosto Set PortaConc = '%1', AcertaDataConc = '%2', TEMPOLECONCENTRADOR = %3")
                          .arg(porta, acerta).arg(tempo));
        auto janela = AbreJanela(posto);
        QVERIFY(janela->Iniciado());
        bool ativa = false;
        int intervalo = -1;
        QVERIFY(NoMotor(*janela, [&](TLinkor& linkor) {
            ativa = linkor.Ciclo().LeituraAtiva();
            intervalo = linkor.Ciclo().IntervaloLeitura();
        }));
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
        QCOMPARE(posto.Falso->Porta, esperada);
        QCOMPARE(posto.Falso->RelogioAcertado, acerta == "S");
        QCOMPARE(ativa, tempo > 0);
        QCOMPARE(intervalo, tempo * 1000);
    }

    // Start-up step x failure: the failure path shows the box first, then writes the error log's
    // line, then closes.
    void FalhasNaPartida_data()
    {
        QTest::addColumn<QString>("ajuste");
        QTest::addColumn<bool>("portaAbre");
        QTest::addColumn<bool>("relogioMudo");
        QTest::addColumn<QString>("mensagem");
        QTest::newRow("COM curta") << "PortaConc = 'COM'" << true << false << "'' não é um valor inteiro válido";
        QTest::newRow("COMX") << "PortaConc = 'COMX'" << true << false << "'X' não é um valor inteiro válido";
        QTest::newRow("porta acima de 255") << "PortaConc = 'COM300'" << true << false
                                            << "A porta serial 'COM300' não existe: use COM1 a COM255.";
        QTest::newRow("porta nao abre") << "PortaConc = 'COM1'" << false << false
                                        << "Erro ao tentar a conexão com a porta serial!!";
        QTest::newRow("relogio nao acerta") << "AcertaDataConc = 'S'" << true << true
                                            << "O concentrador não confirmou o acerto da Data/Hora.";
    }
    void FalhasNaPartida()
    {
        QFETCH(QString, ajuste);
        QFETCH(bool, portaAbre);
        QFETCH(bool, relogioMudo);
        QFETCH(QString, mensagem);
        TPostoTeste posto;
        posto.Executa("Update ParaPosto Set " + ajuste);
        posto.PreparaFalso = [&](TConcentradorFalso& falso) {
            falso.PortaAbre = portaAbre;
            falso.RelogioMudo = relogioMudo;
        };
        QStringList logNaCaixa{"<nenhuma caixa>"};
        posto.Respondedor.AoMostrar = [&] { logNaCaixa = posto.LinhasErro(); };
        auto janela = AbreJanela(posto);
        QVERIFY(janela->FimSolicitado());
        QVERIFY(!janela->Iniciado());
        QCOMPARE(posto.Respondedor.Caixas.size(), 1);
        QCOMPARE(posto.Respondedor.Caixas[0].Tipo, TTipoMensagem::Erro);
        QCOMPARE(posto.Respondedor.Caixas[0].Texto, mensagem);
        QCOMPARE(logNaCaixa, QStringList()); // the box came before the line
        // Closed once the line is written: the engine stopped, its timer off for good.
        QTRY_COMPARE_WITH_TIMEOUT(posto.Motor->thread(), QThread::currentThread(), 30000);
        QCOMPARE(posto.LinhasErro(), QStringList("09/12/25 14:03:28 Erro na inicialização: " + mensagem));
        QVERIFY(!posto.Ciclo().LeituraAtiva());
    }

    // The window opened from the tray while start-up waits to retry the database: the caption
    // already carries the version, and so does the tray tip taken from it.
    void TituloDuranteAEsperaDoBanco()
    {
        TPostoTeste posto;
        posto.EscreveArquivo("Caminho.ini", ("[DATABASEESTOQUE]\r\nCAMINHO=" + posto.Pasta.filePath("NADA.FDB")
                                             + "\r\nUSUARIO=SYSDBA\r\nSENHA=masterkey\r\n")
                                                .toUtf8());
        QSemaphore dormindo;
        QSemaphore acorda;
        posto.Relogio.AoDormir = [&] {
            dormindo.release();
            acorda.acquire();
        };
        posto.Respondedor.Resposta = TResposta::Nao; // no more attempts after the question
        auto janela = std::make_unique<TMenuPrin>(posto.CriaMotor());
        const bool esperando = dormindo.tryAcquire(1, 20000);
        janela->MostraJanela();
        const QString titulo = janela->windowTitle();
        janela->hide();
        janela->show();
        const QString dica = janela->DicaBandeja();
        acorda.release(1000);
        QVERIFY(esperando);
        QCOMPARE(titulo, QString("Tankora for Windows - Comunicador CompanyTec v15.11dc"));
        QCOMPARE(dica, QString("Tankora for Windows - Comunicador CompanyTec v15.11dc"));
        QTRY_VERIFY_WITH_TIMEOUT(janela->FimSolicitado(), 30000);
    }

    void EstacaoSemConcentradorTermina()
    {
        TPostoTeste posto;
        posto.Executa("Update ParaPosto Set UsaConcentrador = 's'");
        auto janela = AbreJanela(posto);
        QVERIFY(janela->FimSolicitado());
        QCOMPARE(posto.Respondedor.Caixas.size(), 1);
        QCOMPARE(posto.Respondedor.Caixas[0].Tipo, TTipoMensagem::Informacao);
        QCOMPARE(posto.Respondedor.Caixas[0].Texto,
                 QString("O sistema não foi configurado para usar concentrador. \rO aplicativo Linkor será finalizado."));
        QVERIFY(posto.Falso); // the remaining steps still ran
        QVERIFY(posto.LinhasErro().isEmpty());
        QCOMPARE(posto.Motor->thread(), QThread::currentThread());
    }

    void CicloNaoAninhaELogaFalhas()
    {
        TPostoTeste posto;
        posto.Executa("Update ParaPosto Set visualizastatusbomba = 'N'");
        auto janela = AbreJanela(posto);
        int profundidade = 0;
        int maxima = 0;
        QVERIFY(NoMotor(*janela, [&](TLinkor& linkor) {
            posto.Falso->AoLer = [&] {
                maxima = std::max(maxima, ++profundidade);
                QThread::msleep(20); // a slow serial exchange
                --profundidade;
            };
            posto.Falso->FalhaLeitura = true;
            linkor.Ciclo().DefineIntervaloLeitura(1);
        }));
        int leituras = 0;
        QVERIFY(QTest::qWaitFor(
            [&] { return NoMotor(*janela, [&](TLinkor&) { leituras = posto.Falso->LeiturasPlanas; }) && leituras >= 3; },
            10000));
        QVERIFY(NoMotor(*janela, [&](TLinkor& linkor) {
            linkor.Ciclo().ParaLeitura();
            leituras = posto.Falso->LeiturasPlanas;
        }));
        QCOMPARE(maxima, 1);
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
        const QStringList erros = posto.LinhasErro();
        QCOMPARE(erros.size(), leituras);
        QCOMPARE(erros.first(), QString("09/12/25 14:03:28 Erro ao ler abastecimento: falha de comunicação"));
        QCOMPARE(posto.Falso->LeiturasFid, 0);
    }

    void AnimacaoDoStatus()
    {
        TPostoTeste posto;
        auto janela = AbreJanela(posto);
        const QString base = " Procurando Abastecimentos";
        QVERIFY(NoMotor(*janela, [](TLinkor& linkor) {
            linkor.Ciclo().ParaLeitura();
            linkor.Ciclo().DefineTextoStatus(" Procurando Abastecimentos");
        }));
        QTRY_COMPARE_WITH_TIMEOUT(janela->TextoPainel(0), base, 30000);
        QVERIFY(NoMotor(*janela, [](TLinkor& linkor) { linkor.Ciclo().LeConcentradorTimer(); }));
        QTRY_COMPARE_WITH_TIMEOUT(janela->TextoPainel(0), base + ".", 30000);
        QVERIFY(NoMotor(*janela, [](TLinkor& linkor) {
            for (int i = 1; i < 14; ++i)
                linkor.Ciclo().LeConcentradorTimer();
        }));
        QTRY_COMPARE_WITH_TIMEOUT(janela->TextoPainel(0), base, 30000);
        bool ativa = false;
        QVERIFY(NoMotor(*janela, [&](TLinkor& linkor) {
            linkor.Ciclo().DefineTextoStatus("Outro texto");
            linkor.Ciclo().LeConcentradorTimer();
            ativa = linkor.Ciclo().LeituraAtiva(); // re-enabled after every tick
        }));
        QTRY_COMPARE_WITH_TIMEOUT(janela->TextoPainel(0), QString("Outro texto"), 30000);
        QVERIFY(ativa);
    }

    void FidUsaALeituraFid()
    {
        TPostoTeste posto;
        posto.EscreveArquivo("TankoraECF.INI", "[POSTO]\r\nUSA_FID=s\r\n");
        auto janela = AbreJanela(posto);
        bool fid = true;
        int planas = -1;
        int fids = -1;
        QVERIFY(NoMotor(*janela, [&](TLinkor& linkor) {
            linkor.Ciclo().ParaLeitura();
            fid = linkor.Ciclo().UsaFid(); // only "S" turns it on
            linkor.Ciclo().DefineUsaFid(true);
            const int antes = posto.Falso->LeiturasPlanas;
            linkor.Ciclo().LeConcentradorTimer();
            fids = posto.Falso->LeiturasFid;
            planas = posto.Falso->LeiturasPlanas - antes;
        }));
        QVERIFY(!fid);
        QCOMPARE(fids, 1);
        QCOMPARE(planas, 0);
    }

    // The day's log reloaded opens at its last line; new lines stay in view, unless the operator
    // scrolled up to read, and follow again once scrolled back down.
    void PainelDeLogMostraOsAbastecimentos()
    {
        TPostoTeste posto;
        QByteArray dia;
        for (int i = 0; i < 300; ++i)
            dia += QStringLiteral(" 09/12/2025   10:%1:00   00012      25,437       5,899     150,05   001  %2   068\r\n")
                       .arg(i % 60, 2, 10, QChar('0'))
                       .arg(i, 4, 10, QChar('0'))
                       .toUtf8();
        posto.EscreveArquivo("LogLinkor09122025", dia);
        auto janela = AbreJanela(posto);
        janela->show();
        QScrollBar* barra = janela->VisualizaLog->verticalScrollBar();
        QTRY_VERIFY_WITH_TIMEOUT(barra->maximum() > 0, 30000);
        QCOMPARE(barra->value(), barra->maximum());
        QCOMPARE(janela->TextoPainel(1), QString("Total de Abastecimentos: 300"));

        const auto abastece = [&](qint32 id) {
            return NoMotor(*janela, [&](TLinkor& linkor) {
                linkor.Ciclo().ParaLeitura();
                linkor.Ciclo().ProcessaAbastecimento(Abastecimento("44", 10, 58990, 589900, id));
            });
        };
        QVERIFY(abastece(1));
        QTRY_COMPARE_WITH_TIMEOUT(janela->TextoPainel(1), QString("Total de Abastecimentos: 301"), 30000);
        QCOMPARE(janela->VisualizaLog->toPlainText().split('\n').mid(300), posto.LinhasLog().mid(300));
        QCOMPARE(barra->value(), barra->maximum());

        barra->setValue(0); // the operator reads an earlier line
        QVERIFY(abastece(2));
        QTRY_COMPARE_WITH_TIMEOUT(janela->TextoPainel(1), QString("Total de Abastecimentos: 302"), 30000);
        QCOMPARE(barra->value(), 0);
        barra->setValue(barra->maximum());
        QVERIFY(abastece(3));
        QTRY_COMPARE_WITH_TIMEOUT(janela->TextoPainel(1), QString("Total de Abastecimentos: 303"), 30000);
        QCOMPARE(barra->value(), barra->maximum());
    }

    // Midnight starts the new day in the pane: header date and count, whether the day turns on a
    // quiet tick or on the first fueling after it; the day before stays whole in its own file.
    void MeiaNoiteComecaONovoDia_data()
    {
        QTest::addColumn<bool>("tiqueAntes");
        QTest::newRow("tique vazio depois da meia-noite") << true;
        QTest::newRow("primeiro abastecimento do dia") << false;
    }
    void MeiaNoiteComecaONovoDia()
    {
        QFETCH(bool, tiqueAntes);
        TPostoTeste posto;
        posto.Relogio.Momento = QDateTime(QDate(2025, 12, 9), QTime(23, 59, 50));
        posto.EscreveArquivo("LogLinkor09122025",
                             " 09/12/2025   10:00:00   00012      25,437       5,899     150,05   001  0007   068\r\n");
        auto janela = AbreJanela(posto);
        const QString cabecalho09 = janela->CabecalhoLog->toPlainText().split('\n').value(0);
        QVERIFY2(cabecalho09.endsWith("09/12/2025"), qPrintable(cabecalho09));
        QVERIFY(NoMotor(*janela, [&](TLinkor& linkor) {
            linkor.Ciclo().ParaLeitura();
            linkor.Ciclo().ProcessaAbastecimento(Abastecimento("44", 10, 58990, 589900, 8, "09/12/2025", "23:59:40", 1010));
        }));
        QTRY_COMPARE_WITH_TIMEOUT(janela->TextoPainel(1), QString("Total de Abastecimentos: 2"), 30000);

        QVERIFY(NoMotor(*janela, [&](TLinkor& linkor) {
            posto.Relogio.Momento = QDateTime(QDate(2025, 12, 10), QTime(0, 0, 5));
            if (tiqueAntes)
                linkor.Ciclo().LeConcentradorTimer();
        }));
        if (tiqueAntes) {
            QTRY_COMPARE_WITH_TIMEOUT(janela->TextoPainel(1), QString("Total de Abastecimentos: 0"), 30000);
            QVERIFY(janela->CabecalhoLog->toPlainText().split('\n').value(0).endsWith("10/12/2025"));
            QVERIFY(janela->VisualizaLog->toPlainText().isEmpty());
        }
        QVERIFY(NoMotor(*janela, [&](TLinkor& linkor) {
            linkor.Ciclo().ParaLeitura();
            linkor.Ciclo().ProcessaAbastecimento(Abastecimento("44", 5, 58990, 294950, 9, "10/12/2025", "00:00:01", 1015));
        }));
        QTRY_COMPARE_WITH_TIMEOUT(janela->TextoPainel(1), QString("Total de Abastecimentos: 1"), 30000);
        const QStringList cabecalho = janela->CabecalhoLog->toPlainText().split('\n');
        QCOMPARE(cabecalho.size(), 4);
        QCOMPARE(cabecalho[0], QString(cabecalho09).replace("09/12/2025", "10/12/2025"));
        QCOMPARE(janela->VisualizaLog->toPlainText().split('\n'), posto.LinhasLog("LogLinkor10122025"));
        QCOMPARE(posto.LinhasLog("LogLinkor10122025").size(), 1);
        QCOMPARE(posto.LinhasLog().size(), 2);

        // A tick later on the same day changes nothing.
        QVERIFY(NoMotor(*janela, [&](TLinkor& linkor) { linkor.Ciclo().LeConcentradorTimer(); }));
        QCOMPARE(janela->TextoPainel(1), QString("Total de Abastecimentos: 1"));
    }

    // The engine stuck in a serial exchange (or the database): the window goes on handling events,
    // and "&Sair" ends the window within its bound, leaving the engine behind without calling
    // the driver.
    void JanelaViveComOMotorPreso()
    {
        TPostoTeste posto;
        posto.Executa("Update ParaPosto Set visualizastatusbomba = 'N'");
        auto janela = AbreJanela(posto);
        QSemaphore entrou;
        QSemaphore solta;
        QVERIFY(NoMotor(*janela, [&](TLinkor& linkor) {
            posto.Falso->AoLer = [&] {
                entrou.release();
                solta.acquire();
            };
            linkor.Ciclo().DefineIntervaloLeitura(1);
        }));
        QVERIFY(QTest::qWaitFor([&] { return entrou.tryAcquire(); }, 10000));
        int batidas = 0;
        QTimer batida;
        connect(&batida, &QTimer::timeout, [&] { ++batidas; });
        batida.start(10);
        QTRY_VERIFY_WITH_TIMEOUT(batidas >= 20, 30000); // the window's loop runs while the engine is stuck
        bool dialogoConcluido = false;
        janela->Motor().Executa(janela.get(), [](TLinkor&, const TRetorno&) {}, [&](const QString&) { dialogoConcluido = true; });
        janela->show();
        janela->Sair1->trigger(); // returns after the bound, the engine left behind
        QVERIFY(janela->Motor().Abandonado());
        QVERIFY(!dialogoConcluido); // a job queued behind the stuck tick never ran
        solta.release(); // the exchange ends: the engine's thread ends without a driver call
        QVERIFY(janela->Motor().Para(20000));
        QVERIFY(!posto.Falso->Finalizado);
        QVERIFY(!dialogoConcluido);
    }

    // The window manager's close box takes Linkor out of sight (tray or task bar); it keeps polling.
    void CaixaDeFecharNaoEncerra()
    {
        TPostoTeste posto;
        auto janela = AbreJanela(posto);
        janela->show();
        QVERIFY(QTest::qWaitForWindowExposed(janela.get()));
        QCloseEvent caixaDeFechar; // as the window manager sends it
        QSpontaneKeyEvent::setSpontaneous(&caixaDeFechar);
        qApp->notify(janela.get(), &caixaDeFechar); // sendEvent would make it not spontaneous
        QVERIFY(!janela->FimSolicitado());
        if (QSystemTrayIcon::isSystemTrayAvailable())
            QTRY_VERIFY_WITH_TIMEOUT(!janela->isVisible(), 30000);
        else
            QTRY_VERIFY_WITH_TIMEOUT(janela->isMinimized(), 30000);
        bool ativa = false;
        QVERIFY(NoMotor(*janela, [&](TLinkor& linkor) { ativa = linkor.Ciclo().LeituraAtiva(); }));
        QVERIFY(ativa);
        QVERIFY(!posto.Falso->Finalizado);
        janela->Sair1->trigger(); // only "&Sair" ends it
        QVERIFY(posto.Falso->Finalizado);
    }

    void ErroPadraoAcrescentaPonto_data()
    {
        QTest::addColumn<QString>("mensagem");
        QTest::addColumn<QString>("esperado");
        QTest::newRow("letra") << "Falhou" << "Falhou.";
        QTest::newRow("ponto") << "Falhou." << "Falhou.";
        QTest::newRow("exclamacao") << "Falhou!" << "Falhou!";
        QTest::newRow("vazio") << "" << "";
    }
    void ErroPadraoAcrescentaPonto()
    {
        QFETCH(QString, mensagem);
        QFETCH(QString, esperado);
        QCOMPARE(TextoErroPadrao(mensagem), esperado);
    }
};

int main(int argc, char** argv)
{
    TAplicacao aplicacao(argc, argv);
    TesteMenuPrin teste;
    return QTest::qExec(&teste, argc, argv);
}
#include "TesteMenuPrin.moc"
