#include "Aplicacao.h"
#include "PostoTeste.h"

#include <QPlainTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

class TesteMenuPrin : public QObject {
    Q_OBJECT
private slots:
    void PartidaChegaAoTimer()
    {
        TPostoTeste posto;
        posto.EscreveArquivo("tankoraecf.ini", "[Posto]\r\nusa_fid = S\r\n");
        auto janela = posto.AbreJanela();
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
        QVERIFY(!janela->FimSolicitado());
        QCOMPARE(posto.Falso->Porta, 1);
        QVERIFY(!posto.Falso->RelogioAcertado);
        QVERIFY(janela->LeConcentrador->isActive());
        QCOMPARE(janela->LeConcentrador->interval(), 1000);
        QVERIFY(janela->UsaFid);
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

        janela->close();
        QVERIFY(posto.Falso->Finalizado);
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
        auto janela = posto.AbreJanela();
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
        QCOMPARE(posto.Falso->Porta, esperada);
        QCOMPARE(posto.Falso->RelogioAcertado, acerta == "S");
        QCOMPARE(janela->LeConcentrador->isActive(), tempo > 0);
        QCOMPARE(janela->IntervaloLeitura(), tempo * 1000);
    }

    void FalhasNaPartida_data()
    {
        QTest::addColumn<QString>("ajuste");
        QTest::addColumn<bool>("portaAbre");
        QTest::addColumn<QString>("mensagem");
        QTest::newRow("COM curta") << "PortaConc = 'COM'" << true << "'' não é um valor inteiro válido";
        QTest::newRow("COMX") << "PortaConc = 'COMX'" << true << "'X' não é um valor inteiro válido";
        QTest::newRow("porta acima de 255") << "PortaConc = 'COM300'" << true
                                            << "A porta serial 'COM300' não existe: use COM1 a COM255.";
        QTest::newRow("porta nao abre") << "PortaConc = 'COM1'" << false << "Erro ao tentar a conexão com a porta serial!!";
    }
    void FalhasNaPartida()
    {
        QFETCH(QString, ajuste);
        QFETCH(bool, portaAbre);
        QFETCH(QString, mensagem);
        TPostoTeste posto;
        posto.Executa("Update ParaPosto Set " + ajuste);
        auto janela = std::make_unique<TMenuPrin>([&] {
            auto falso = std::make_unique<TConcentradorFalso>();
            falso->PortaAbre = portaAbre;
            posto.Falso = falso.get();
            return falso;
        });
        QCOMPARE(posto.Respondedor.Caixas.size(), 1);
        QCOMPARE(posto.Respondedor.Caixas[0].Tipo, TTipoMensagem::Erro);
        QCOMPARE(posto.Respondedor.Caixas[0].Texto, mensagem);
        QCOMPARE(posto.LinhasErro(), QStringList("09/12/25 14:03:28 Erro na inicialização: " + mensagem));
        QVERIFY(janela->FimSolicitado());
        QVERIFY(!janela->LeConcentrador->isActive());
    }

    void EstacaoSemConcentradorTermina()
    {
        TPostoTeste posto;
        posto.Executa("Update ParaPosto Set UsaConcentrador = 's'");
        auto janela = posto.AbreJanela();
        QCOMPARE(posto.Respondedor.Caixas.size(), 1);
        QCOMPARE(posto.Respondedor.Caixas[0].Tipo, TTipoMensagem::Informacao);
        QCOMPARE(posto.Respondedor.Caixas[0].Texto,
                 QString("O sistema não foi configurado para usar concentrador. \rO aplicativo Linkor será finalizado."));
        QVERIFY(janela->FimSolicitado());
        QVERIFY(posto.Falso); // the remaining steps still ran
        QVERIFY(posto.LinhasErro().isEmpty());
    }

    void CicloNaoAninhaELogaFalhas()
    {
        TPostoTeste posto;
        posto.Executa("Update ParaPosto Set visualizastatusbomba = 'N'");
        auto janela = posto.AbreJanela();
        janela->DefineIntervaloLeitura(1);
        int profundidade = 0;
        int maxima = 0;
        posto.Falso->AoLer = [&] {
            maxima = std::max(maxima, ++profundidade);
            QTest::qWait(20); // a slow serial exchange with the message loop running
            --profundidade;
        };
        posto.Falso->FalhaLeitura = true;
        QTRY_VERIFY_WITH_TIMEOUT(posto.Falso->LeiturasPlanas >= 3, 5000);
        janela->LeConcentrador->stop();
        QCOMPARE(maxima, 1);
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
        const QStringList erros = posto.LinhasErro();
        QCOMPARE(erros.size(), posto.Falso->LeiturasPlanas);
        QCOMPARE(erros.first(), QString("09/12/25 14:03:28 Erro ao ler abastecimento: falha de comunicação"));
        QCOMPARE(posto.Falso->LeiturasFid, 0);
    }

    void AnimacaoDoStatus()
    {
        TPostoTeste posto;
        auto janela = posto.AbreJanela();
        janela->LeConcentrador->stop();
        const QString base = " Procurando Abastecimentos";
        QCOMPARE(janela->TextoPainel(0), base);
        janela->LeConcentradorTimer();
        QCOMPARE(janela->TextoPainel(0), base + ".");
        for (int i = 1; i < 14; ++i)
            janela->LeConcentradorTimer();
        QCOMPARE(janela->TextoPainel(0), base);
        janela->DefineTextoPainel(0, "Outro texto");
        janela->LeConcentradorTimer();
        QCOMPARE(janela->TextoPainel(0), QString("Outro texto"));
        QVERIFY(janela->LeConcentrador->isActive()); // re-enabled after every tick
    }

    void FidUsaALeituraFid()
    {
        TPostoTeste posto;
        posto.EscreveArquivo("TankoraECF.INI", "[POSTO]\r\nUSA_FID=s\r\n");
        auto janela = posto.AbreJanela();
        QVERIFY(!janela->UsaFid); // only "S" turns it on
        janela->UsaFid = true;
        janela->LeConcentradorTimer();
        QCOMPARE(posto.Falso->LeiturasFid, 1);
        QCOMPARE(posto.Falso->LeiturasPlanas, 0);
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
