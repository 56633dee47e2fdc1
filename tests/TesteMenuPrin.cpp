#include "Aplicacao.h"
#include "MenuPrin.h"
#include "PostoTeste.h"

#include <QAction>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QToolBar>
#include <QToolButton>

namespace {
std::unique_ptr<TMenuPrin> AbreJanela(TPostoTeste& posto)
{
    return std::make_unique<TMenuPrin>(posto.CriaMotor());
}
} // namespace

class TesteMenuPrin : public QObject {
    Q_OBJECT
private slots:
    void PartidaChegaAoTimer()
    {
        TPostoTeste posto;
        posto.EscreveArquivo("tankoraecf.ini", "[Posto]\r\nusa_fid = S\r\n");
        auto janela = AbreJanela(posto);
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
        QVERIFY(!janela->FimSolicitado());
        QCOMPARE(posto.Falso->Porta, 1);
        QVERIFY(!posto.Falso->RelogioAcertado);
        QVERIFY(posto.Ciclo().LeituraAtiva());
        QCOMPARE(posto.Ciclo().IntervaloLeitura(), 1000);
        QVERIFY(posto.Ciclo().UsaFid());
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

    // What is wrong while the database or the logs fail: the tray tip says it, and one notice
    // that does not block the window shows it and goes away by itself when all is well again.
    void AvisoNaoModal()
    {
        TPostoTeste posto;
        auto janela = AbreJanela(posto);
        janela->show();
        const QString titulo = janela->DicaBandeja();
        TCicloLeitura& ciclo = posto.Ciclo();
        emit ciclo.AvisoAlterado("Banco de dados inacessível: um abastecimento aguarda para ser gravado.");
        QMessageBox* aviso = janela->Aviso();
        QVERIFY(aviso);
        QTRY_VERIFY(aviso->isVisible());
        QCOMPARE(aviso->windowModality(), Qt::NonModal);
        QCOMPARE(aviso->windowTitle(), QString("Alerta"));
        QCOMPARE(janela->DicaBandeja(), QString("Banco de dados inacessível: um abastecimento aguarda para ser gravado."));
        aviso->close(); // the operator closes it: the same outage does not bring it back
        emit ciclo.AvisoAlterado("Banco de dados inacessível. A leitura continua sozinha quando o banco voltar.");
        QVERIFY(!aviso->isVisible());
        QCOMPARE(aviso->text(), QString("Banco de dados inacessível. A leitura continua sozinha quando o banco voltar."));
        emit ciclo.AvisoAlterado(QString());
        QCOMPARE(janela->DicaBandeja(), titulo);
        emit ciclo.AvisoAlterado("Os arquivos de log não podem ser gravados.");
        QTRY_VERIFY(aviso->isVisible()); // a new outage, a new notice
        QCOMPARE(janela->Aviso(), aviso);
        emit ciclo.AvisoAlterado(QString());
        QTRY_VERIFY(!aviso->isVisible());
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
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
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
        QCOMPARE(posto.Falso->Porta, esperada);
        QCOMPARE(posto.Falso->RelogioAcertado, acerta == "S");
        QCOMPARE(posto.Ciclo().LeituraAtiva(), tempo > 0);
        QCOMPARE(posto.Ciclo().IntervaloLeitura(), tempo * 1000);
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
        posto.PreparaFalso = [&](TConcentradorFalso& falso) { falso.PortaAbre = portaAbre; };
        auto janela = AbreJanela(posto);
        QCOMPARE(posto.Respondedor.Caixas.size(), 1);
        QCOMPARE(posto.Respondedor.Caixas[0].Tipo, TTipoMensagem::Erro);
        QCOMPARE(posto.Respondedor.Caixas[0].Texto, mensagem);
        QCOMPARE(posto.LinhasErro(), QStringList("09/12/25 14:03:28 Erro na inicialização: " + mensagem));
        QVERIFY(janela->FimSolicitado());
        QVERIFY(!posto.Ciclo().LeituraAtiva());
    }

    void EstacaoSemConcentradorTermina()
    {
        TPostoTeste posto;
        posto.Executa("Update ParaPosto Set UsaConcentrador = 's'");
        auto janela = AbreJanela(posto);
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
        auto janela = AbreJanela(posto);
        posto.Ciclo().DefineIntervaloLeitura(1);
        int profundidade = 0;
        int maxima = 0;
        posto.Falso->AoLer = [&] {
            maxima = std::max(maxima, ++profundidade);
            QTest::qWait(20); // a slow serial exchange with the message loop running
            --profundidade;
        };
        posto.Falso->FalhaLeitura = true;
        QTRY_VERIFY_WITH_TIMEOUT(posto.Falso->LeiturasPlanas >= 3, 5000);
        posto.Ciclo().ParaLeitura();
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
        auto janela = AbreJanela(posto);
        TCicloLeitura& ciclo = posto.Ciclo();
        ciclo.ParaLeitura();
        const QString base = " Procurando Abastecimentos";
        QCOMPARE(janela->TextoPainel(0), base);
        ciclo.LeConcentradorTimer();
        QCOMPARE(janela->TextoPainel(0), base + ".");
        for (int i = 1; i < 14; ++i)
            ciclo.LeConcentradorTimer();
        QCOMPARE(janela->TextoPainel(0), base);
        ciclo.DefineTextoStatus("Outro texto");
        ciclo.LeConcentradorTimer();
        QCOMPARE(janela->TextoPainel(0), QString("Outro texto"));
        QVERIFY(ciclo.LeituraAtiva()); // re-enabled after every tick
    }

    void FidUsaALeituraFid()
    {
        TPostoTeste posto;
        posto.EscreveArquivo("TankoraECF.INI", "[POSTO]\r\nUSA_FID=s\r\n");
        auto janela = AbreJanela(posto);
        QVERIFY(!posto.Ciclo().UsaFid()); // only "S" turns it on
        posto.Ciclo().DefineUsaFid(true);
        posto.Ciclo().LeConcentradorTimer();
        QCOMPARE(posto.Falso->LeiturasFid, 1);
        QCOMPARE(posto.Falso->LeiturasPlanas, 0);
    }

    void PainelDeLogMostraOsAbastecimentos()
    {
        TPostoTeste posto;
        auto janela = AbreJanela(posto);
        TCicloLeitura& ciclo = posto.Ciclo();
        ciclo.ParaLeitura();
        ciclo.ProcessaAbastecimento(Abastecimento("44", 10, 58990, 589900, 1));
        ciclo.ProcessaAbastecimento(Abastecimento("44", 10, 58990, 589900, 2, "09/12/2025", "14:05:00"));
        QCOMPARE(janela->VisualizaLog->toPlainText().split('\n'), posto.LinhasLog());
        QCOMPARE(janela->TextoPainel(1), QString("Total de Abastecimentos: 2"));
    }

    void SairDuranteOTickDeixaOTimerDesligado()
    {
        // "&Sair" from the tray while a tick lets messages run: the tick ends with the timer off.
        TPostoTeste posto;
        auto janela = AbreJanela(posto);
        posto.Falso->AoLer = [&] { janela->Sair1->trigger(); };
        posto.Ciclo().LeConcentradorTimer();
        QVERIFY(posto.Falso->Finalizado);
        QVERIFY(!posto.Ciclo().LeituraAtiva());
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
