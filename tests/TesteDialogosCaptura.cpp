// The capture, poll-interval and clock functions from the main window's toolbar, offscreen; the
// clock also against the simulated concentrator through the real driver and library.
#include "Aplicacao.h"
#include "CapturaAbastecimento.h"
#include "ClassCompanyTec.h"
#include "AlteraPreco.h"
#include "BloqueiaBico.h"
#include "ConfiguraTempoLeAbastecimento.h"
#include "MenuPrin.h"
#include "NumEdit.h"
#include "PostoTeste.h"
#include "ServicoCaptura.h"
#include "SimuladorTeste.h"
#include "TirarEncerrantes.h"

#include <QLabel>
#include <QTableWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QToolButton>

namespace {

// Clicks `botao` and runs `noDialogo` once the modal dialog it opens is up; true when a dialog of
// type T came up. The dialog is closed afterwards if `noDialogo` left it open.
template <typename T>
bool OperaDialogo(QToolButton* botao, const std::function<void(T&)>& noDialogo, QPointer<T>* aberto = nullptr)
{
    bool achou = false;
    QTimer::singleShot(0, [&] {
        auto* dialogo = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialogo)
            return;
        achou = true;
        if (aberto)
            *aberto = dialogo;
        noDialogo(*dialogo);
        if (dialogo->isVisible())
            dialogo->close();
    });
    botao->click();
    return achou;
}

void Digita(TNumEdit* campo, const QString& texto)
{
    campo->setFocus();
    campo->selectAll();
    if (texto.isEmpty())
        QTest::keyClick(campo, Qt::Key_Delete);
    else
        QTest::keyClicks(campo, texto);
}

} // namespace

class TesteDialogosCaptura : public QObject, public TSimuladorTeste {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TCompanyTec::DefineArquivoBiblioteca(Executavel("libCompanytec.so"));
    }

    void CapturaPelaBarra()
    {
        TPostoTeste posto;
        TMenuPrin janela(posto.CriaMotor());
        QTRY_VERIFY_WITH_TIMEOUT(janela.Iniciado(), 30000); // start-up runs on the engine's thread
        janela.show();
        posto.Falso->Registros[37] = Abastecimento("44", 10, 58990, 589900, 37, "09/12/2025", "13:10:00");
        posto.Respondedor.Resposta = TResposta::Sim;
        QList<bool> leituraNasCaixas; // the poll timer while each box is open
        posto.Respondedor.AoMostrar = [&] { leituraNasCaixas << posto.Ciclo().LeituraAtiva(); };
        QPointer<TFCapturaAbast> aberto;
        QStringList inicio;
        bool abertoAposOk = false;
        QVERIFY(OperaDialogo<TFCapturaAbast>(
            janela.SpeedButton1,
            [&](TFCapturaAbast& d) {
                inicio << d.windowTitle() << d.Label1->text() << d.edtIDAbast->text() << d.BtOk->text()
                       << d.BtCancelar->text();
                Digita(d.edtIDAbast, "37");
                QTest::mouseClick(d.BtOk, Qt::LeftButton);
                QTRY_VERIFY_WITH_TIMEOUT(!d.Ocupado(), 30000);
                abertoAposOk = d.isVisible();
                // An empty field ends in the default error box.
                Digita(d.edtIDAbast, "");
                QTest::mouseClick(d.BtOk, Qt::LeftButton);
                QTRY_VERIFY_WITH_TIMEOUT(!d.Ocupado(), 30000);
                QTest::mouseClick(d.BtCancelar, Qt::LeftButton);
            },
            &aberto));
        // The field opens empty and takes the focus, which writes its value 0 into it.
        QCOMPARE(inicio, QStringList({"Captura de abastecimento", "Digite o  ID do abastecimento:", "0", "&OK", "&Sair"}));
        QVERIFY(abertoAposOk);
        QVERIFY(aberto.isNull()); // freed by the opener
        QStringList textos;
        for (const auto& c : posto.Respondedor.Caixas)
            textos << c.Texto;
        QCOMPARE(textos, QStringList({"Confirma a captura do Registro 37?", "Abastecimento 37 capturado com sucesso! ",
                                      "Confirma a captura do Registro ?", "'' não é um valor inteiro válido."}));
        QCOMPARE(posto.Respondedor.Caixas.last().Tipo, TTipoMensagem::Erro);
        // Off from the click through the confirmation; on again for the result's box, which the
        // dialog shows once the capture ended.
        QCOMPARE(leituraNasCaixas.size(), 4);
        QVERIFY(!leituraNasCaixas[0]);
        QVERIFY(!leituraNasCaixas[2]);
        QVERIFY(!leituraNasCaixas[3]);
        QCOMPARE(posto.Linhas("Select Id From MvAbast", {"Id"}), QStringList("37"));
        QVERIFY(janela.VisualizaLog->toPlainText().contains("0037   068"));
        QVERIFY(posto.Ciclo().LeituraAtiva());
    }

    void TempoPelaBarra()
    {
        TPostoTeste posto;
        posto.Executa("Update ParaPosto Set TEMPOLECONCENTRADOR = 0");
        TMenuPrin janela(posto.CriaMotor());
        QTRY_VERIFY_WITH_TIMEOUT(janela.Iniciado(), 30000); // start-up runs on the engine's thread
        janela.show();
        QVERIFY(!posto.Ciclo().LeituraAtiva());
        QPointer<TFconfiguraTempoLeAbastecimento> aberto;
        QString inicial;
        QList<int> intervalos;
        bool abertoAposOk = false;
        QVERIFY(OperaDialogo<TFconfiguraTempoLeAbastecimento>(
            janela.btnConfTempoBusca,
            [&](TFconfiguraTempoLeAbastecimento& d) {
                inicial = d.windowTitle() + "|" + d.EdtSegundos->text();
                QTest::mouseClick(d.BtOk, Qt::LeftButton);
                QTRY_VERIFY_WITH_TIMEOUT(!d.Ocupado(), 30000);
                intervalos << posto.Ciclo().LeConcentrador().interval();
                Digita(d.EdtSegundos, "30");
                QTest::mouseClick(d.BtOk, Qt::LeftButton);
                QTRY_VERIFY_WITH_TIMEOUT(!d.Ocupado(), 30000);
                intervalos << posto.Ciclo().LeConcentrador().interval();
                // Out of range, "&OK" pressed while the field keeps the focus (as its letter does)
                // stores nothing.
                Digita(d.EdtSegundos, "99");
                d.BtOk->click();
                QTRY_VERIFY_WITH_TIMEOUT(!d.Ocupado(), 30000);
                intervalos << posto.Ciclo().LeConcentrador().interval();
                QCOMPARE(QApplication::focusWidget(), d.EdtSegundos);
                abertoAposOk = d.isVisible();
            },
            &aberto));
        QCOMPARE(inicial, QString("Comunicação com concentrador|1"));
        QCOMPARE(intervalos, QList<int>({1000, 30000, 30000}));
        QVERIFY(abertoAposOk);
        QVERIFY(aberto.isNull());
        QVERIFY(posto.Ciclo().LeituraAtiva());
        QCOMPARE(posto.Linhas("Select TEMPOLECONCENTRADOR From ParaPosto", {"TEMPOLECONCENTRADOR"}),
                 QStringList("30"));
        QVERIFY(posto.Respondedor.Caixas.isEmpty());

        // "&Sair" without "&OK" changes nothing.
        QVERIFY(OperaDialogo<TFconfiguraTempoLeAbastecimento>(janela.btnConfTempoBusca, [&](auto& d) {
            Digita(d.EdtSegundos, "7");
            QTest::mouseClick(d.BtCancelar, Qt::LeftButton);
        }));
        QCOMPARE(posto.Ciclo().IntervaloLeitura(), 30000);
    }

    // Esc, key x control x dialog: none of these three dialogs has Esc handling, so it closes
    // none of them, whatever has the focus.
    void EscNaoFecha_data()
    {
        QTest::addColumn<QString>("dialogo");
        QTest::addColumn<QString>("controle");
        for (const char* dialogo : {"captura", "tempo"})
            for (const char* controle : {"campo", "botao"})
                QTest::addRow("%s %s", dialogo, controle) << dialogo << controle;
        QTest::newRow("bloqueio grade") << "bloqueio" << "grade";
        QTest::newRow("bloqueio botao") << "bloqueio" << "botao";
    }
    void EscNaoFecha()
    {
        QFETCH(QString, dialogo);
        QFETCH(QString, controle);
        TPostoTeste posto;
        TMenuPrin janela(posto.CriaMotor());
        QTRY_VERIFY_WITH_TIMEOUT(janela.Iniciado(), 30000);
        janela.show();
        QToolButton* abre = dialogo == "captura" ? janela.SpeedButton1
            : dialogo == "tempo"                 ? janela.btnConfTempoBusca
                                                 : janela.SpeedButton3;
        bool abertoDepois = false;
        QVERIFY(OperaDialogo<QDialog>(abre, [&](QDialog& d) {
            if (auto* bloqueio = qobject_cast<TFBloqDesbBico*>(&d))
                QTRY_VERIFY_WITH_TIMEOUT(!bloqueio->Ocupado(), 30000);
            QWidget* alvo = controle == "campo" ? static_cast<QWidget*>(d.findChild<TNumEdit*>())
                : controle == "grade"           ? static_cast<QWidget*>(d.findChild<QTableWidget*>())
                                                : static_cast<QWidget*>(d.findChildren<QPushButton*>().value(0));
            QVERIFY(alvo);
            alvo->setFocus();
            QTest::keyClick(alvo, Qt::Key_Escape);
            QTest::qWait(20);
            abertoDepois = d.isVisible();
        }));
        QVERIFY(abertoDepois);
    }

    void ConcentradorMudoNomeiaOsBicos()
    {
        // Through the real driver and library: nozzles 01 and 03 (channels 1 and 2) are read by
        // their own codes; once the line goes silent, neither a totalizer nor a price passes for
        // done: each nozzle is named, and nothing is stored that the pump did not report.
        TPostoTeste posto;
        posto.Executa("Update Bombas Set CodConcentrador = NULL Where CodBico Not In ('01', '03')");
        QVERIFY2(IniciaSimuladorNaPasta(posto.Pasta.path()), "concentrador-sim did not come up");
        qputenv("COMPANYTEC_PORTA1", QFile::encodeName(Link));
        posto.DriverReal = true;
        TLinkor& linkor = posto.IniciaMotor();
        linkor.Ciclo().ParaLeitura();
        TMotor motor(linkor);
        Ctl({"bico", "bico=04", "encerrante=152350.5"});
        Ctl({"bico", "bico=44", "encerrante=254010.25"});

        QPointer<TFTirarEncerrantes> dialogo = new TFTirarEncerrantes(motor);
        TFTirarEncerrantes& encerrantes = *dialogo;
        encerrantes.show();
        QTRY_VERIFY_WITH_TIMEOUT(!encerrantes.Ocupado(), 30000);
        encerrantes.BtMarcar->click();
        encerrantes.BtEncerrantes->click();
        QTRY_VERIFY_WITH_TIMEOUT(!encerrantes.Ocupado(), 30000);
        QCOMPARE(encerrantes.TextoRodape(), QString("Ok, encerrantes lidos com sucesso..."));
        QCOMPARE(encerrantes.Celula(TFTirarEncerrantes::ColSaida, 1), QString("10,375"));
        QCOMPARE(encerrantes.Celula(TFTirarEncerrantes::ColSaida, 3), QString("8,500"));

        Ctl({"falha", "modo=silencio"});
        encerrantes.BtEncerrantes->click(); // the marks stay from the first reading
        QTRY_VERIFY_WITH_TIMEOUT(!encerrantes.Ocupado(), 30000);
        QCOMPARE(encerrantes.TextoRodape(), QString("Encerrantes não lidos dos bicos: 01, 03"));
        QCOMPARE(encerrantes.Celula(TFTirarEncerrantes::ColSaida, 3), QString("8,500")); // as read before
        encerrantes.close(); // frees itself
        QTRY_VERIFY_WITH_TIMEOUT(dialogo.isNull(), 30000);

        QPointer<TFAlteraPreco> precos = new TFAlteraPreco(motor);
        precos->show();
        QTRY_VERIFY_WITH_TIMEOUT(!precos->Ocupado(), 30000);
        precos->GridBombas->item(1, 2)->setText("6,100");
        posto.Respondedor.Caixas.clear();
        precos->BtOk->click();
        QTRY_VERIFY_WITH_TIMEOUT(!precos->Ocupado(), 30000);
        QStringList textos;
        for (const auto& c : posto.Respondedor.Caixas)
            textos << c.Texto;
        QCOMPARE(textos, QStringList("Erro ao atualizar o preco na Bomba: 01, 03; o banco ficou com o preço antigo "
                                     "desses bicos.\rNenhum bico ficou com o preço novo."));
        QCOMPARE(posto.Linhas("Select PrecoVenda From Bombas Where CodBico = '03'", {"PrecoVenda"}),
                 QStringList("5,99"));
        delete precos.data();

        // A capture by ID on the silent line is an error, not "não encontrado"; nothing is stored.
        const int antes = posto.Linhas("Select Id From MvAbast", {"Id"}).size();
        const TResultadoCaptura captura = TServicoCaptura(linkor).Captura(5, "5");
        QCOMPARE(captura.Texto, QString("Erro ao capturar o abastecimento: 5\r"
                                        "O concentrador não respondeu à leitura do abastecimento 5."));
        QCOMPARE(posto.Linhas("Select Id From MvAbast", {"Id"}).size(), antes);

        Ctl({"falha", "modo=normal"});
        Simulador.terminate();
        QVERIFY(Simulador.waitForFinished(5000));
    }

    // Blocking 03 and 06 (44 and 85, on positions 1 and 2 with three free neighbours each) through
    // the real driver and library: the dialog and Bombas.statusbico show exactly those two
    // blocked, and the neighbours free.
    void BloqueioDeUmBicoNaoMarcaOsVizinhos()
    {
        TPostoTeste posto;
        Link = posto.Pasta.filePath("ttyCONC");
        Controle = posto.Pasta.filePath("sim.sock");
        QVERIFY2(IniciaSimulador({"--bicos", "04,05,44,45,84,85,C4,C5"}), "concentrador-sim did not come up");
        auto paraSimulador = qScopeGuard([this] {
            Simulador.terminate();
            Simulador.waitForFinished(5000);
        });
        qputenv("COMPANYTEC_PORTA1", QFile::encodeName(Link));
        posto.DriverReal = true;
        TLinkor& linkor = posto.IniciaMotor();
        linkor.Ciclo().ParaLeitura();
        TMotor motor(linkor);
        const auto marcados = [](const TFBloqDesbBico& dialogo) {
            QStringList bicos;
            for (int r = 1; r < dialogo.QuantidadeLinhas(); ++r)
                if (dialogo.Marcada(r))
                    bicos << dialogo.Celula(TFBloqDesbBico::ColBico, r);
            return bicos;
        };
        {
            TFBloqDesbBico dialogo(motor, posto.Respondedor);
            dialogo.Prepara();
            dialogo.show();
            QTRY_VERIFY_WITH_TIMEOUT(!dialogo.Ocupado(), 30000);
            QCOMPARE(marcados(dialogo), QStringList());
            for (int linha : {3, 6}) {
                dialogo.GridBombas->setCurrentCell(linha - 1, 0);
                QTest::keyClick(dialogo.GridBombas, Qt::Key_Space);
            }
            dialogo.BitBtn1->click();
            QTRY_VERIFY_WITH_TIMEOUT(!dialogo.isVisible(), 30000);
        }
        QVERIFY2(posto.Respondedor.Caixas.isEmpty(), qPrintable(posto.Respondedor.Caixas.value(0).Texto));
        QCOMPARE(Estado("bloqueado.44"), QString("1"));
        QCOMPARE(Estado("bloqueado.85"), QString("1"));
        QCOMPARE(Estado("bloqueado.04"), QString("0"));

        TFBloqDesbBico reaberto(motor, posto.Respondedor);
        reaberto.Prepara();
        reaberto.show();
        QTRY_VERIFY_WITH_TIMEOUT(!reaberto.Ocupado(), 30000);
        QCOMPARE(marcados(reaberto), QStringList({"03", "06"}));
        reaberto.close();

        // The status monitor's refresh, on the engine's thread.
        QObject dono;
        bool pronto = false;
        QString falha;
        motor.Executa(
            &dono, [](TLinkor& motorLinkor, const TRetorno&) { motorLinkor.Ciclo().AtualizaStatusBicos(); },
            [&](const QString& erro) {
                falha = erro;
                pronto = true;
            });
        QTRY_VERIFY_WITH_TIMEOUT(pronto, 30000);
        QCOMPARE(falha, QString());
        QCOMPARE(posto.Linhas("Select CodBico, statusbico From Bombas Where Coalesce(CodConcentrador, '') <> '' "
                              "Order By CodBico",
                              {"CodBico", "statusbico"}),
                 QStringList({"01|L", "02|L", "03|B", "04|L", "05|L", "06|B", "07|L", "08|L"}));
    }

    void RelogioNoSimulador()
    {
        TPostoTeste posto;
        QVERIFY2(IniciaSimuladorNaPasta(posto.Pasta.path()), "concentrador-sim did not come up");
        qputenv("COMPANYTEC_PORTA1", QFile::encodeName(Link));
        posto.DriverReal = true;
        TMenuPrin janela(posto.CriaMotor());
        QTRY_VERIFY_WITH_TIMEOUT(janela.Iniciado(), 30000); // start-up runs on the engine's thread
        janela.show();
        QVERIFY2(posto.Respondedor.Caixas.isEmpty(), qPrintable(posto.Respondedor.Caixas.value(0).Texto));
        const QString pergunta = "Deseja sincronizar a Data/Hora do Concentrador com a Data/Hora do Sistema?\r";

        // No: nothing is sent.
        posto.Respondedor.Resposta = TResposta::Nao;
        janela.SpeedButton2->click();
        QCOMPARE(posto.Respondedor.Caixas.size(), 1);
        QVERIFY(posto.Respondedor.Caixas[0].Texto.startsWith(pergunta));
        QCOMPARE(Estado("relogio_acertado"), QString("0"));

        // A silent concentrator: the error box, and the program goes on polling.
        posto.Respondedor.Resposta = TResposta::Sim;
        Ctl({"falha", "modo=silencio"});
        janela.SpeedButton2->click();
        QTRY_COMPARE_WITH_TIMEOUT(posto.Respondedor.Caixas.size(), 3, 30000);
        QCOMPARE(posto.Respondedor.Caixas[2].Tipo, TTipoMensagem::Erro);
        QCOMPARE(posto.Respondedor.Caixas[2].Texto,
                 QString("O concentrador não confirmou o acerto da Data/Hora: o relógio dele não foi alterado."));
        QVERIFY(janela.isVisible());
        QVERIFY(!janela.ReinicioSolicitado());
        Ctl({"falha", "modo=normal"});
        QCOMPARE(Estado("relogio_acertado"), QString("0"));
        Ctl({"abastece", "bico=44", "litros=5", "preco=6", "id=55"});
        QTRY_COMPARE_WITH_TIMEOUT(posto.Linhas("Select Id From MvAbast", {"Id"}), QStringList("55"), 30000);

        // Yes: one clock command, the success box, and the program ends.
        janela.SpeedButton2->click();
        QTRY_COMPARE_WITH_TIMEOUT(posto.Respondedor.Caixas.size(), 5, 30000);
        QCOMPARE(Estado("relogio_acertado"), QString("1"));
        QCOMPARE(posto.Respondedor.Caixas[4].Texto, QString("Data/Hora sincronizada com sucesso!"));
        QVERIFY(!janela.isVisible());
        QVERIFY(!posto.Ciclo().LeituraAtiva());
        QVERIFY(janela.ReinicioSolicitado()); // main starts the program again

        Simulador.terminate();
        QVERIFY(Simulador.waitForFinished(5000));
    }
};

int main(int argc, char** argv)
{
    TAplicacao aplicacao(argc, argv);
    TesteDialogosCaptura teste;
    return QTest::qExec(&teste, argc, argv);
}
#include "TesteDialogosCaptura.moc"
