#include "Aplicacao.h"
#include "BloqueiaBico.h"
#include "MenuPrin.h"
#include "PostoTeste.h"
#include "TirarEncerrantes.h"

#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

namespace {

// An open shift covering the test clock (09/12/2025 14:03:28).
void TurnoDoDia(TPostoTeste& posto)
{
    posto.Executa("Delete From MvTurno");
    posto.Executa("Insert Into MvTurno (Controle, CODEMPRESA, CodTurno, CODVENDEDOR, DTMOVIMENTO, HRABERTURA, "
                  "DtTermino, HrTermino, STATUS) Values ('000777', '00', '1', '001', '09.12.2025', "
                  "'09.12.2025 06:00:00', '09.12.2025', '09.12.2025 22:00:00', 'N')");
}

// The colour in the middle of a cell's right end, clear of its text.
QColor CorDaCelula(QTableWidget* grade, int linha, int coluna)
{
    const QImage imagem = grade->viewport()->grab().toImage();
    const QRect celula = grade->visualRect(grade->model()->index(linha, coluna));
    return imagem.pixelColor(celula.right() - 4, celula.center().y());
}

// The press of a real double click makes the cell current before the double click itself.
void DuploClique(QTableWidget* grade, const QPoint& ponto)
{
    QTest::mouseClick(grade->viewport(), Qt::LeftButton, {}, ponto);
    QTest::mouseDClick(grade->viewport(), Qt::LeftButton, {}, ponto);
}

QStringList Marcadas(const TFTirarEncerrantes& dialogo)
{
    QStringList bicos;
    for (int r = 1; r < dialogo.QuantidadeLinhas(); ++r)
        if (dialogo.Marcada(r))
            bicos << dialogo.Celula(TFTirarEncerrantes::ColBico, r);
    return bicos;
}

// Runs `passo` once the modal loop the next statement opens is running; whatever happens in it,
// the dialog found open is closed afterwards, so a failing check never leaves the loop hanging.
template <typename TDialogo>
void NoDialogo(std::function<void(TDialogo&)> passo)
{
    QTimer::singleShot(0, [passo] {
        QPointer<TDialogo> dialogo;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<TDialogo*>(w); d && d->isVisible())
                dialogo = d;
        auto fecha = qScopeGuard([&] {
            if (dialogo && dialogo->isVisible())
                dialogo->close();
        });
        QVERIFY(dialogo);
        passo(*dialogo);
    });
}

} // namespace

class TesteDialogosEncerrantes : public QObject {
    Q_OBJECT
private slots:
    void GradeEMarcacao()
    {
        TPostoTeste posto;
        posto.IniciaMotor().Ciclo().ParaLeitura();
        TFTirarEncerrantes dialogo(*posto.Contexto);
        dialogo.setAttribute(Qt::WA_DeleteOnClose, false);
        dialogo.show();
        QCOMPARE(dialogo.windowTitle(), QString("Tirar Encerrantes"));
        QCOMPARE(dialogo.size(), QSize(549, 412));
        QStringList titulos;
        for (int c = 0; c < 5; ++c)
            titulos << dialogo.GridBombas->horizontalHeaderItem(c)->text();
        QCOMPARE(titulos, QStringList({"Bico", "Descrição", "Inicial", "Final", "Saida"}));
        QVERIFY(dialogo.GridBombas->isColumnHidden(TFTirarEncerrantes::ColConcentrador));
        QVERIFY(dialogo.GridBombas->isColumnHidden(TFTirarEncerrantes::ColMarca));
        QCOMPARE(dialogo.QuantidadeLinhas(), 10);
        QCOMPARE(dialogo.Celula(TFTirarEncerrantes::ColConcentrador, 3), QString("068"));
        QCOMPARE(dialogo.Celula(TFTirarEncerrantes::ColSaida, 3), QString("0,000"));

        // Space and double click toggle the current row; the caption stays.
        dialogo.GridBombas->setFocus();
        dialogo.GridBombas->setCurrentCell(1, 0);
        QTest::keyClick(dialogo.GridBombas, Qt::Key_Space);
        QCOMPARE(Marcadas(dialogo), QStringList("02"));
        const QRect celula = dialogo.GridBombas->visualItemRect(dialogo.GridBombas->item(3, 1));
        DuploClique(dialogo.GridBombas, celula.center());
        QCOMPARE(Marcadas(dialogo), QStringList({"02", "04"}));
        QTest::keyClick(dialogo.GridBombas, Qt::Key_Space);
        QCOMPARE(Marcadas(dialogo), QStringList("02"));
        QCOMPARE(dialogo.BtMarcar->text(), QString("Marcar Todos"));

        // Marked rows are light green; the others keep the grid's colour.
        dialogo.GridBombas->clearSelection();
        QCOMPARE(CorDaCelula(dialogo.GridBombas, 1, 2), QColor(164, 255, 209));
        QCOMPARE(CorDaCelula(dialogo.GridBombas, 2, 2), QColor(172, 165, 149));

        dialogo.BtMarcar->click();
        QCOMPARE(Marcadas(dialogo).size(), 9);
        QCOMPARE(dialogo.BtMarcar->text(), QString("Desmarcar Todos"));
        dialogo.BtMarcar->click();
        QVERIFY(Marcadas(dialogo).isEmpty());
        QCOMPARE(dialogo.BtMarcar->text(), QString("Marcar Todos"));
    }

    void LeituraDesmarcaOuMarcaTudo()
    {
        TPostoTeste posto;
        posto.IniciaMotor().Ciclo().ParaLeitura();
        TFTirarEncerrantes dialogo(*posto.Contexto);
        dialogo.setAttribute(Qt::WA_DeleteOnClose, false);
        dialogo.show();
        posto.Falso->Encerrantes["04"] = TConcentradorFalso::Encerrante("04", 152350.5);
        QStringList desabilitados;
        posto.Falso->AoLerEncerrante = [&] {
            for (QPushButton* b : {dialogo.BtEncerrantes, dialogo.BtMarcar, dialogo.BtOk, dialogo.BtCancelar})
                if (!b->isEnabled())
                    desabilitados << b->objectName();
        };

        // "Marcar Todos", then a reading: every nozzle read, the marks cleared afterwards.
        dialogo.BtMarcar->click();
        dialogo.BtEncerrantes->click();
        QCOMPARE(posto.Falso->Comandos.size(), 9);
        QCOMPARE(posto.Falso->Comandos.first(), QString("LerEncerrante L 04"));
        QCOMPARE(desabilitados.size(), 4 * 9);
        QVERIFY(Marcadas(dialogo).isEmpty());
        QCOMPARE(dialogo.BtMarcar->text(), QString("Marcar Todos"));
        QVERIFY(dialogo.BtOk->isEnabled());
        QCOMPARE(dialogo.TextoRodape(), QString("Ok, encerrantes lidos com sucesso..."));
        QCOMPARE(dialogo.Celula(TFTirarEncerrantes::ColFinal, 1), QString("152350,500"));
        QCOMPARE(dialogo.Celula(TFTirarEncerrantes::ColSaida, 1), QString("10,375"));
        QCOMPARE(dialogo.Celula(TFTirarEncerrantes::ColFinal, 2), QString("0,000"));

        // Marks set one by one, then a reading: only they are read, then every row is marked.
        posto.Falso->Comandos.clear();
        for (int linha : {2, 4}) {
            dialogo.GridBombas->setCurrentCell(linha, 0);
            QTest::keyClick(dialogo.GridBombas, Qt::Key_Space);
        }
        dialogo.BtEncerrantes->click();
        QCOMPARE(posto.Falso->Comandos, QStringList({"LerEncerrante L 68", "LerEncerrante L 32"}));
        QCOMPARE(Marcadas(dialogo).size(), 9);
        QCOMPARE(dialogo.BtMarcar->text(), QString("Desmarcar Todos"));

        // A failing request: its message, the buttons back, marks and status as they were.
        dialogo.BtMarcar->click();
        dialogo.GridBombas->setCurrentCell(2, 0);
        QTest::keyClick(dialogo.GridBombas, Qt::Key_Space);
        posto.Falso->CodigosRecusados << "68";
        dialogo.BtEncerrantes->click();
        QCOMPARE(posto.Respondedor.Caixas.last().Texto, QString("Erro ao consultar o encerrante do Bico: 068"));
        QCOMPARE(Marcadas(dialogo), QStringList("03"));
        QVERIFY(dialogo.BtEncerrantes->isEnabled() && dialogo.BtCancelar->isEnabled());
        QCOMPARE(dialogo.TextoRodape(), QString("Ok, encerrantes lidos com sucesso..."));
    }

    void PelaBarraComTickNoMeio()
    {
        // Opened from the toolbar: one instance while open; a poll tick stores its fueling while
        // the dialog waits and while it reads; "&OK" records and closes, clearing the reference.
        TPostoTeste posto;
        TurnoDoDia(posto);
        posto.Executa("Update ParaPosto Set visualizastatusbomba = 'N'");
        TMenuPrin janela(posto.CriaMotor());
        QTRY_VERIFY_WITH_TIMEOUT(janela.Iniciado(), 20000); // start-up runs on the engine's thread
        janela.Motor().Executa(&janela, [](TLinkor& linkor, const TRetorno&) { linkor.Ciclo().DefineIntervaloLeitura(1); });
        int tickDuranteLeitura = 0;
        NoDialogo<TFTirarEncerrantes>([&](TFTirarEncerrantes& dialogo) {
            QCOMPARE(TFTirarEncerrantes::FTirarEncerrantes, &dialogo);
            QVERIFY(posto.Ciclo().LeituraAtiva());
            posto.Falso->Fila << Abastecimento("44", 10, 58990, 589900, 37);
            QTRY_COMPARE(posto.Linhas("Select Id From MvAbast", {"Id"}), QStringList("37"));
            posto.Falso->AoLerEncerrante = [&] {
                if (posto.Falso->Fila.isEmpty() && tickDuranteLeitura == 0) {
                    posto.Falso->Fila << Abastecimento("44", 10, 58990, 589900, 38, "09/12/2025", "14:03:50");
                    tickDuranteLeitura = 1;
                }
            };
            dialogo.BtMarcar->click();
            dialogo.BtEncerrantes->click();
            QCOMPARE(posto.Falso->Comandos.size(), 9); // the reading carried on
            QTRY_COMPARE(posto.Linhas("Select Id From MvAbast Order By Id", {"Id"}), QStringList({"37", "38"}));
            dialogo.BtOk->click();
        });
        janela.SpEncerrantes->click();
        QCOMPARE(posto.Respondedor.Caixas.last().Texto, QString("Encerrantes gravados com sucesso!"));
        QCOMPARE(TFTirarEncerrantes::FTirarEncerrantes, nullptr);
        QCOMPARE(posto.Linhas("Select Count(*) As N From MvEncerrantes Where CodTurno = '000777'", {"N"}),
                 QStringList("9"));
        QVERIFY(posto.Ciclo().LeituraAtiva());

        // Esc closes the next one, which is a new instance.
        QPointer<TFTirarEncerrantes> fechado;
        NoDialogo<TFTirarEncerrantes>([&](TFTirarEncerrantes& dialogo) {
            fechado = &dialogo;
            QTest::keyClick(dialogo.GridBombas, Qt::Key_Escape);
            QVERIFY(!dialogo.isVisible());
        });
        janela.SpEncerrantes->click();
        QCOMPARE(TFTirarEncerrantes::FTirarEncerrantes, nullptr);
        QTRY_VERIFY(!fechado); // freed
    }

    void BloqueioMarcaECores()
    {
        TPostoTeste posto;
        posto.Executa("Update Bombas Set CodConcentrador = '006' Where CodBico = '05'");
        posto.Executa("Update Bombas Set CodConcentrador = '070' Where CodBico = '06'");
        posto.IniciaMotor().Ciclo().ParaLeitura();
        posto.Falso->Status = "LLBL";
        TFBloqDesbBico dialogo(*posto.Contexto);
        dialogo.Prepara();
        dialogo.show();
        QCOMPARE(dialogo.windowTitle(), QString("Bloqueia e Desbloqueia"));
        QCOMPARE(dialogo.QuantidadeLinhas(), 9);
        QStringList marcadas;
        for (int r = 1; r < dialogo.QuantidadeLinhas(); ++r)
            if (dialogo.Marcada(r))
                marcadas << dialogo.Celula(TFBloqDesbBico::ColConcentrador, r);
        QCOMPARE(marcadas, QStringList("006")); // grid row 5; 070 stays unmarked

        // Double click twice leaves a row as it was, once toggles it.
        const QRect celula = dialogo.GridBombas->visualItemRect(dialogo.GridBombas->item(0, 0));
        DuploClique(dialogo.GridBombas, celula.center());
        QVERIFY(dialogo.Marcada(1));
        DuploClique(dialogo.GridBombas, celula.center());
        QVERIFY(!dialogo.Marcada(1));
        QTest::keyClick(dialogo.GridBombas, Qt::Key_Space);
        QVERIFY(dialogo.Marcada(1));

        // Rows 1 (marked) and 2 selected; row 5 marked, row 3 plain.
        dialogo.GridBombas->clearSelection();
        dialogo.GridBombas->selectRow(0);
        dialogo.GridBombas->selectionModel()->select(dialogo.GridBombas->model()->index(1, 0),
                                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const QPalette paleta = dialogo.GridBombas->palette();
        QCOMPARE(CorDaCelula(dialogo.GridBombas, 0, 2), QColor(255, 255, 0));
        QCOMPARE(CorDaCelula(dialogo.GridBombas, 1, 2), paleta.color(QPalette::Active, QPalette::Highlight));
        QCOMPARE(CorDaCelula(dialogo.GridBombas, 4, 2), QColor(255, 0, 0));
        QCOMPARE(CorDaCelula(dialogo.GridBombas, 2, 2), QColor(172, 165, 149));

        // One command per row, in grid order, and the dialog ends.
        dialogo.BitBtn1->click();
        QCOMPARE(posto.Falso->Comandos,
                 QStringList({"FBloqueiaBico 004", "FLiberaBico 005", "FLiberaBico 068", "FLiberaBico 069",
                              "FBloqueiaBico 006", "FLiberaBico 070", "FLiberaBico 196", "FLiberaBico 197"}));
        QVERIFY(!dialogo.isVisible());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void BloqueioSemBicosPelaBarra()
    {
        // No nozzle on the concentrator: one empty row that marks do not touch; the button sends
        // a release with an empty code, whose error is shown, and the dialog still ends and is freed.
        TPostoTeste posto;
        posto.Executa("Update Bombas Set CodConcentrador = NULL");
        TMenuPrin janela(posto.CriaMotor());
        QTRY_VERIFY_WITH_TIMEOUT(janela.Iniciado(), 20000); // start-up runs on the engine's thread
        posto.Ciclo().ParaLeitura();
        posto.Falso->CodigosRecusados << "";
        bool aberto = false;
        NoDialogo<TFBloqDesbBico>([&](TFBloqDesbBico& dialogo) {
            aberto = true;
            QCOMPARE(dialogo.QuantidadeLinhas(), 2);
            QTest::keyClick(dialogo.GridBombas, Qt::Key_Space);
            QVERIFY(!dialogo.Marcada(1));
            dialogo.BitBtn1->click();
            QVERIFY(!dialogo.isVisible());
        });
        janela.SpeedButton3->click();
        QVERIFY(aberto);
        QCOMPARE(posto.Falso->Comandos, QStringList("FLiberaBico "));
        QCOMPARE(posto.Respondedor.Caixas.size(), 1);
        QCOMPARE(posto.Respondedor.Caixas[0].Tipo, TTipoMensagem::Erro);
        QCOMPARE(posto.Respondedor.Caixas[0].Texto, QString("'' não é um valor inteiro válido."));
        QVERIFY(janela.findChildren<TFBloqDesbBico*>().isEmpty());

        // A failure while preparing never shows the dialog.
        posto.Falso->StatusMudo = true;
        janela.SpeedButton3->click();
        QCOMPARE(posto.Respondedor.Caixas.size(), 2);
        QVERIFY(janela.findChildren<TFBloqDesbBico*>().isEmpty());
    }
};

int main(int argc, char** argv)
{
    TAplicacao aplicacao(argc, argv);
    TesteDialogosEncerrantes teste;
    return QTest::qExec(&teste, argc, argv);
}
#include "TesteDialogosEncerrantes.moc"
