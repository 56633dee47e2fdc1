#include "Aplicacao.h"
#include "BloqueiaBico.h"
#include "MenuPrin.h"
#include "PostoTeste.h"
#include "SimuladorTeste.h"
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

// The station's nozzles as the simulator knows them, row by row.
const QStringList kCodigos{"04", "05", "44", "45", "84", "85", "C4", "C5"};

QString CodigoDoBico(const QString& bico)
{
    return kCodigos.value(bico.toInt() - 1);
}

QStringList MvEncerrantes(TPostoTeste& posto)
{
    return posto.Linhas("Select CodBico, EncerranteFim, Saida From MvEncerrantes Order By CodBico",
                        {"CodBico", "EncerranteFim", "Saida"});
}

} // namespace

class TesteDialogosEncerrantes : public QObject {
    Q_OBJECT
private slots:
    void CapturaComBicosMudos_data()
    {
        QTest::addColumn<QStringList>("marcados"); // empty: none; "todos": "Marcar Todos"
        QTest::addColumn<QStringList>("mudos");    // nozzles whose pump does not answer
        QTest::addColumn<bool>("bancoRecusa");     // the database refuses the recording
        QTest::addColumn<QString>("caixaLeitura"); // the box after the reading, if any
        QTest::addColumn<QString>("caixaOk");      // the first box after "&OK" (its start)
        QTest::addColumn<QStringList>("gravados"); // the rows "&OK" wrote, when it wrote
        const QString sucesso = "Encerrantes gravados com sucesso!";
        const QString naoLidos = "Erro ao consultar o encerrante do Bico: %1\rO Final desses bicos não foi alterado.";
        const QString naoGrava = "Encerrante não lido dos bicos: %1\rNada foi gravado: capture de novo ou desmarque "
                                 "esses bicos.";
        const QStringList todos{"01", "02", "03", "04", "05", "06", "07", "08"};
        QTest::newRow("dois marcados e lidos") << QStringList{"03", "06"} << QStringList{} << false << "" << sucesso
                                               << QStringList{"03", "06"};
        QTest::newRow("um marcado mudo") << QStringList{"03", "06"} << QStringList{"06"} << false << naoLidos.arg("06")
                                         << naoGrava.arg("06") << QStringList{};
        QTest::newRow("todos mudos") << QStringList{"todos"} << todos << false << naoLidos.arg(todos.join(", "))
                                     << naoGrava.arg(todos.join(", ")) << QStringList{};
        QTest::newRow("nenhum marcado") << QStringList{} << QStringList{} << false << ""
                                        << "Nenhum bico marcado: nada foi gravado." << QStringList{};
        QTest::newRow("banco recusa") << QStringList{"03", "06"} << QStringList{} << true << ""
                                      << "Erro ao gravar as informações no banco de dados.\r" << QStringList{};
    }
    void CapturaComBicosMudos()
    {
        // Through the real library and the simulator: "&OK" writes exactly the rows read in this
        // capture; the shift's other rows keep their readings (212,5 sold); the marks stay as the
        // operator left them; and a capture that could not be stored stays open with its
        // readings, which the next "&OK" stores once the database takes them.
        QFETCH(QStringList, marcados);
        QFETCH(QStringList, mudos);
        QFETCH(bool, bancoRecusa);
        QFETCH(QString, caixaLeitura);
        QFETCH(QString, caixaOk);
        QFETCH(QStringList, gravados);
        TPostoTeste posto;
        TurnoDoDia(posto);
        for (int i = 1; i <= 8; ++i)
            posto.Executa(QString("Insert Into MvEncerrantes Values ('00', '000777', '0%1', 1000, 1212.5, 212.5, "
                                  "'09.12.2025', '13:00:00')").arg(i));
        // A lock the test takes away to bring the database back.
        posto.Executa("Create Table TravaGravacao (Trava Integer)");
        posto.Executa("Create Exception ERRO_GRAVACAO 'gravação recusada'");
        posto.Executa("Create Trigger RECUSA For MvEncerrantes Before Insert Or Update As Begin "
                      "If (Exists(Select 1 From TravaGravacao)) Then Exception ERRO_GRAVACAO; End");
        if (bancoRecusa)
            posto.Executa("Insert Into TravaGravacao Values (1)");
        const QStringList antes = MvEncerrantes(posto);

        TSimuladorTeste simulador;
        simulador.Link = posto.Pasta.filePath("ttyCONC");
        simulador.Controle = posto.Pasta.filePath("sim.sock");
        QVERIFY2(simulador.IniciaSimulador({"--bicos", kCodigos.join(",")}), "concentrador-sim did not come up");
        auto para = qScopeGuard([&] {
            simulador.Simulador.terminate();
            simulador.Simulador.waitForFinished(5000);
        });
        qputenv("COMPANYTEC_PORTA1", QFile::encodeName(simulador.Link));
        posto.DriverReal = true;
        TLinkor& linkor = posto.IniciaMotor();
        linkor.Ciclo().ParaLeitura();
        TMotor motor(linkor);

        QPointer<TFTirarEncerrantes> dialogo = new TFTirarEncerrantes(motor);
        auto libera = qScopeGuard([&] { delete dialogo.data(); });
        dialogo->show();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogo->Ocupado(), 30000);
        // Each pump a few litres past its initial totalizer: nozzle n sold n + 10.
        for (int r = 1; r <= 8; ++r) {
            const double final = posto.Regional.LeNumero(dialogo->Celula(TFTirarEncerrantes::ColInicial, r)) + r + 10;
            simulador.Ctl({"bico", "bico=" + kCodigos[r - 1], "encerrante=" + QString::number(final, 'f', 3)});
        }
        if (!mudos.isEmpty()) {
            QStringList codigos;
            for (const QString& bico : mudos)
                codigos << CodigoDoBico(bico);
            simulador.Ctl({"falha", "modo=silencio", "bicos=" + codigos.join(",")});
        }

        if (marcados == QStringList("todos")) {
            dialogo->BtMarcar->click();
        } else {
            for (const QString& bico : marcados) {
                dialogo->GridBombas->setCurrentCell(bico.toInt() - 1, 0);
                QTest::keyClick(dialogo->GridBombas, Qt::Key_Space);
            }
        }
        const QStringList marcadasAntes = Marcadas(*dialogo);
        const QString captionAntes = dialogo->BtMarcar->text();
        dialogo->BtEncerrantes->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogo->Ocupado(), 30000);
        QStringList caixas;
        for (const auto& c : posto.Respondedor.Caixas)
            caixas << c.Texto;
        QCOMPARE(caixas, caixaLeitura.isEmpty() ? QStringList() : QStringList(caixaLeitura));
        for (const auto& c : posto.Respondedor.Caixas) // a pump that did not answer is an error
            QCOMPARE(c.Tipo, TTipoMensagem::Erro);
        QCOMPARE(Marcadas(*dialogo), marcadasAntes);
        QCOMPARE(dialogo->BtMarcar->text(), captionAntes);
        if (caixaLeitura.isEmpty() && !marcadasAntes.isEmpty())
            QCOMPARE(dialogo->TextoRodape(), QString("Ok, encerrantes lidos com sucesso..."));
        for (const QString& bico : marcadasAntes) {
            const int r = bico.toInt();
            QCOMPARE(dialogo->Lida(r), !mudos.contains(bico));
            QCOMPARE(dialogo->Celula(TFTirarEncerrantes::ColSaida, r),
                     mudos.contains(bico) ? QString("0,000") : QString::number(r + 10) + ",000");
        }

        posto.Respondedor.Caixas.clear();
        dialogo->BtOk->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogo || !dialogo->Ocupado(), 30000);
        QVERIFY(!posto.Respondedor.Caixas.isEmpty());
        const QString primeira = posto.Respondedor.Caixas.first().Texto;
        QVERIFY2(primeira.startsWith(caixaOk), qPrintable(primeira));
        QCOMPARE(posto.Respondedor.Caixas.size(), 1);
        // A recording the database refused is an error, not news.
        QCOMPARE(posto.Respondedor.Caixas.first().Tipo, bancoRecusa ? TTipoMensagem::Erro : TTipoMensagem::Informacao);
        QCOMPARE(dialogo.isNull() || !dialogo->isVisible(), !gravados.isEmpty());
        // The window's steps are logged under its local user; a recording that stored nothing is no "ok".
        QStringList operacoes = posto.Arquivo("LogOperacoes").split("\r\n");
        operacoes.removeAll(QString());
        QVERIFY(!operacoes.isEmpty());
        QVERIFY2(operacoes.last().contains(" | " + TOperacoesPosto::UsuarioLocal() + " | grava encerrantes | "),
                 qPrintable(operacoes.last()));
        QCOMPARE(operacoes.last().endsWith(" | ok (turno 000777)"), !gravados.isEmpty());
        // The rows written hold the sale read (nozzle n sold n + 10); every other row is as it was.
        const QStringList depois = MvEncerrantes(posto);
        QCOMPARE(depois.size(), antes.size());
        for (int r = 1; r <= 8; ++r) {
            if (gravados.contains(QString("0%1").arg(r)))
                QCOMPARE(depois[r - 1].section('|', 2), QString::number(r + 10));
            else
                QCOMPARE(depois[r - 1], antes[r - 1]);
        }
        if (!bancoRecusa)
            return;
        // The database back: the same readings, still in the open dialog, are stored.
        QVERIFY(dialogo && dialogo->isVisible());
        QCOMPARE(dialogo->Celula(TFTirarEncerrantes::ColSaida, 3), QString("13,000"));
        posto.Executa("Delete From TravaGravacao");
        posto.Respondedor.Caixas.clear();
        dialogo->BtOk->click();
        QTRY_VERIFY_WITH_TIMEOUT(dialogo.isNull() || !dialogo->isVisible(), 30000);
        QCOMPARE(posto.Respondedor.Caixas.size(), 1);
        QCOMPARE(posto.Respondedor.Caixas[0].Texto, QString("Encerrantes gravados com sucesso!"));
        const QStringList gravadas = MvEncerrantes(posto);
        QCOMPARE(gravadas[2].section('|', 2), QString("13"));
        QCOMPARE(gravadas[5].section('|', 2), QString("16"));
        QCOMPARE(gravadas[0], antes[0]);
    }

    void GradeEMarcacao()
    {
        TPostoTeste posto;
        TMotor motor(posto.IniciaMotor());
        posto.Ciclo().ParaLeitura();
        TFTirarEncerrantes dialogo(motor);
        dialogo.setAttribute(Qt::WA_DeleteOnClose, false);
        dialogo.show();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogo.Ocupado(), 30000);
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

        // A nozzle off the concentrator (09) cannot be read, so it is never marked.
        dialogo.GridBombas->setCurrentCell(8, 0);
        QTest::keyClick(dialogo.GridBombas, Qt::Key_Space);
        QCOMPARE(Marcadas(dialogo), QStringList("02"));
        dialogo.BtMarcar->click();
        QCOMPARE(Marcadas(dialogo), QStringList({"01", "02", "03", "04", "05", "06", "07", "08"}));
        QCOMPARE(dialogo.BtMarcar->text(), QString("Desmarcar Todos"));
        dialogo.BtMarcar->click();
        QVERIFY(Marcadas(dialogo).isEmpty());
        QCOMPARE(dialogo.BtMarcar->text(), QString("Marcar Todos"));

        // Tab leaves the grid and reaches every button, in the form's order.
        dialogo.activateWindow();
        dialogo.GridBombas->setFocus();
        QStringList ordem;
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            ordem << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(ordem, QStringList({"BtOk", "BtCancelar", "BtEncerrantes", "BtMarcar", "GridBombas"}));
    }

    void LeituraDeixaAsMarcas()
    {
        TPostoTeste posto;
        TMotor motor(posto.IniciaMotor());
        posto.Ciclo().ParaLeitura();
        TFTirarEncerrantes dialogo(motor);
        dialogo.setAttribute(Qt::WA_DeleteOnClose, false);
        dialogo.show();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogo.Ocupado(), 30000);
        // Every nozzle on the concentrator answers for its own code, channels 1 to 4.
        const QStringList codigos{"04", "05", "44", "45", "84", "85", "C4", "C5"};
        for (int i = 0; i < codigos.size(); ++i)
            posto.Falso->Encerrantes[codigos[i]] = TConcentradorFalso::Encerrante(
                codigos[i].toLatin1(), posto.Regional.LeNumero(dialogo.Celula(TFTirarEncerrantes::ColInicial, i + 1)) + i + 1.5);
        auto desabilitados = [&] {
            QStringList nomes;
            for (QPushButton* b : {dialogo.BtEncerrantes, dialogo.BtMarcar, dialogo.BtOk, dialogo.BtCancelar})
                if (!b->isEnabled())
                    nomes << b->objectName();
            return nomes;
        };

        // "Marcar Todos", then a reading: every nozzle read, the marks as they were.
        dialogo.BtMarcar->click();
        dialogo.BtEncerrantes->click();
        QVERIFY(dialogo.Ocupado());
        QCOMPARE(desabilitados().size(), 4);
        QTRY_VERIFY_WITH_TIMEOUT(!dialogo.Ocupado(), 30000);
        QStringList pedidos;
        for (const QString& c : codigos)
            pedidos << "LerEncerrante L " + c;
        QCOMPARE(posto.Falso->Comandos, pedidos); // nozzle 09 is not on the concentrator
        QVERIFY(desabilitados().isEmpty());
        QCOMPARE(Marcadas(dialogo).size(), 8);
        QCOMPARE(dialogo.BtMarcar->text(), QString("Desmarcar Todos"));
        QCOMPARE(dialogo.TextoRodape(), QString("Ok, encerrantes lidos com sucesso..."));
        QCOMPARE(dialogo.Celula(TFTirarEncerrantes::ColFinal, 1), QString("152341,625"));
        QCOMPARE(dialogo.Celula(TFTirarEncerrantes::ColSaida, 1), QString("1,500"));
        QCOMPARE(dialogo.Celula(TFTirarEncerrantes::ColSaida, 7), QString("7,500")); // 07 on 196, channel 4

        // Marks set one by one, then a reading: only they are read, and only they stay marked.
        posto.Falso->Comandos.clear();
        dialogo.BtMarcar->click();
        for (int linha : {2, 4}) {
            dialogo.GridBombas->setCurrentCell(linha, 0);
            QTest::keyClick(dialogo.GridBombas, Qt::Key_Space);
        }
        dialogo.BtEncerrantes->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogo.Ocupado(), 30000);
        QCOMPARE(posto.Falso->Comandos, QStringList({"LerEncerrante L 44", "LerEncerrante L 84"}));
        QCOMPARE(Marcadas(dialogo), QStringList({"03", "05"}));
        QCOMPARE(dialogo.BtMarcar->text(), QString("Marcar Todos"));

        // Unanswered requests: those nozzles keep their Final and are named; the marks stay.
        for (int linha : {0, 4}) {
            dialogo.GridBombas->setCurrentCell(linha, 0);
            QTest::keyClick(dialogo.GridBombas, Qt::Key_Space);
        }
        posto.Falso->Encerrantes["04"] = TConcentradorFalso::Encerrante("04", 152399);
        posto.Falso->CodigosRecusados << "44";
        const QString finalAntes = dialogo.Celula(TFTirarEncerrantes::ColFinal, 3);
        dialogo.BtEncerrantes->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogo.Ocupado(), 30000);
        QCOMPARE(posto.Respondedor.Caixas.last().Texto,
                 QString("Erro ao consultar o encerrante do Bico: 03\rO Final desses bicos não foi alterado."));
        QCOMPARE(dialogo.TextoRodape(), QString("Encerrantes não lidos dos bicos: 03"));
        QCOMPARE(dialogo.Celula(TFTirarEncerrantes::ColFinal, 1), QString("152399,000"));
        QCOMPARE(dialogo.Celula(TFTirarEncerrantes::ColFinal, 3), finalAntes);
        QCOMPARE(Marcadas(dialogo), QStringList({"01", "03"}));
        QVERIFY(desabilitados().isEmpty());
        // 03 keeps the reading of the first capture: it is still a reading taken in this one.
        QVERIFY(dialogo.Lida(1) && dialogo.Lida(3) && !dialogo.Lida(9));
    }

    void OkECancelarDuranteAGravacao()
    {
        // Presses while the recording runs change nothing: the dialog records once, then closes
        // and is freed; never under its own handler.
        TPostoTeste posto;
        TurnoDoDia(posto);
        TMotor motor(posto.IniciaMotor());
        posto.Ciclo().ParaLeitura();
        QPointer<TFTirarEncerrantes> dialogo = new TFTirarEncerrantes(motor);
        dialogo->show();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogo->Ocupado(), 30000);
        for (const QString c : {"04", "05", "44", "45", "84", "85", "C4", "C5"})
            posto.Falso->Encerrantes[c] = TConcentradorFalso::Encerrante(c.toLatin1(), 300000);
        dialogo->BtMarcar->click();
        dialogo->BtEncerrantes->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogo->Ocupado(), 30000);
        QTimer::singleShot(0, [dialogo] {
            if (!dialogo)
                return;
            dialogo->BtOk->click();
            dialogo->BtCancelar->click();
            QTest::keyClick(dialogo, Qt::Key_Escape);
            dialogo->close();
        });
        dialogo->BtOk->click();
        QVERIFY(dialogo->Ocupado());
        QTRY_VERIFY_WITH_TIMEOUT(dialogo.isNull(), 30000);
        QCOMPARE(posto.Respondedor.Caixas.size(), 1);
        QCOMPARE(posto.Respondedor.Caixas[0].Texto, QString("Encerrantes gravados com sucesso!"));
        QCOMPARE(posto.Linhas("Select Count(*) As N From MvEncerrantes", {"N"}), QStringList("8"));
    }

    void PelaBarraComTickNoMeio()
    {
        // Opened from the toolbar: one instance while open; a poll tick stores its fueling while
        // the dialog waits and while it reads; "&OK" records and closes, clearing the reference.
        TPostoTeste posto;
        TurnoDoDia(posto);
        posto.Executa("Update ParaPosto Set visualizastatusbomba = 'N'");
        TMenuPrin janela(posto.CriaMotor());
        QTRY_VERIFY_WITH_TIMEOUT(janela.Iniciado(), 30000); // start-up runs on the engine's thread
        janela.Motor().Executa(&janela, [](TLinkor& linkor, const TRetorno&) { linkor.Ciclo().DefineIntervaloLeitura(1); });
        int tickDuranteLeitura = 0;
        NoDialogo<TFTirarEncerrantes>([&](TFTirarEncerrantes& dialogo) {
            QCOMPARE(TFTirarEncerrantes::FTirarEncerrantes, &dialogo);
            QVERIFY(posto.Ciclo().LeituraAtiva());
            posto.Falso->Fila << Abastecimento("44", 10, 58990, 589900, 37);
            QTRY_COMPARE_WITH_TIMEOUT(posto.Linhas("Select Id From MvAbast", {"Id"}), QStringList("37"), 30000);
            posto.Falso->AoLerEncerrante = [&] {
                if (posto.Falso->Fila.isEmpty() && tickDuranteLeitura == 0) {
                    posto.Falso->Fila << Abastecimento("44", 10, 58990, 589900, 38, "09/12/2025", "14:03:50");
                    tickDuranteLeitura = 1;
                }
            };
            QTRY_VERIFY_WITH_TIMEOUT(!dialogo.Ocupado(), 30000);
            for (const QString c : {"04", "05", "44", "45", "84", "85", "C4", "C5"})
                posto.Falso->Encerrantes[c] = TConcentradorFalso::Encerrante(c.toLatin1(), 300000);
            dialogo.BtMarcar->click();
            dialogo.BtEncerrantes->click();
            QTRY_VERIFY_WITH_TIMEOUT(!dialogo.Ocupado(), 30000);
            QCOMPARE(posto.Falso->Comandos.size(), 8); // the reading carried on
            QTRY_COMPARE_WITH_TIMEOUT(posto.Linhas("Select Id From MvAbast Order By Id", {"Id"}), QStringList({"37", "38"}), 30000);
            dialogo.BtOk->click();
        });
        janela.SpEncerrantes->click();
        QCOMPARE(posto.Respondedor.Caixas.last().Texto, QString("Encerrantes gravados com sucesso!"));
        QCOMPARE(TFTirarEncerrantes::FTirarEncerrantes, nullptr);
        QCOMPARE(posto.Linhas("Select Count(*) As N From MvEncerrantes Where CodTurno = '000777'", {"N"}),
                 QStringList("8"));
        QVERIFY(posto.Ciclo().LeituraAtiva());

        // Esc closes the next one, which is a new instance.
        QPointer<TFTirarEncerrantes> fechado;
        NoDialogo<TFTirarEncerrantes>([&](TFTirarEncerrantes& dialogo) {
            fechado = &dialogo;
            QTRY_VERIFY_WITH_TIMEOUT(!dialogo.Ocupado(), 30000);
            QTest::keyClick(dialogo.GridBombas, Qt::Key_Escape);
            QVERIFY(!dialogo.isVisible());
        });
        janela.SpEncerrantes->click();
        QCOMPARE(TFTirarEncerrantes::FTirarEncerrantes, nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!fechado, 30000); // freed
    }

    // A database error the job does not word itself still reaches the box behind a Portuguese
    // sentence, the server's text (English) on the lines after it.
    void ErroDoServidorNuncaSozinhoNaCaixa()
    {
        TPostoTeste posto;
        TLinkor& linkor = posto.IniciaMotor();
        linkor.Ciclo().ParaLeitura();
        TMotor motor(linkor);
        posto.Executa("Alter Table Bombas Drop EncerranteIni");
        QPointer<TFTirarEncerrantes> dialogo = new TFTirarEncerrantes(motor);
        auto libera = qScopeGuard([&] { delete dialogo.data(); });
        dialogo->show();
        QTRY_COMPARE_WITH_TIMEOUT(posto.Respondedor.Caixas.size(), 1, 30000);
        QCOMPARE(posto.Respondedor.Caixas[0].Tipo, TTipoMensagem::Erro);
        const QStringList linhas = posto.Respondedor.Caixas[0].Texto.split('\r');
        QCOMPARE(linhas.first(), QString("Erro no banco de dados ao executar a operação pedida."));
        QVERIFY2(linhas.size() > 1 && linhas[1].toUpper().contains("ENCERRANTEINI"),
                 qPrintable(posto.Respondedor.Caixas[0].Texto));
    }

    void BloqueioMarcaECores()
    {
        TPostoTeste posto;
        posto.Executa("Update Bombas Set CodConcentrador = '006' Where CodBico = '05'");
        posto.Executa("Update Bombas Set CodConcentrador = '070' Where CodBico = '06'");
        TMotor motor(posto.IniciaMotor());
        posto.Ciclo().ParaLeitura();
        posto.Falso->Status = "LLBL";
        TFBloqDesbBico dialogo(motor, posto.Respondedor);
        dialogo.Prepara();
        dialogo.show();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogo.Ocupado(), 30000);
        QCOMPARE(dialogo.windowTitle(), QString("Bloqueia e Desbloqueia"));
        QCOMPARE(dialogo.QuantidadeLinhas(), 9);
        QStringList marcadas;
        for (int r = 1; r < dialogo.QuantidadeLinhas(); ++r)
            if (dialogo.Marcada(r))
                marcadas << dialogo.Celula(TFBloqDesbBico::ColConcentrador, r);
        QCOMPARE(marcadas, QStringList({"006", "070"})); // position 3 on channels 1 and 2

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

        // One command per row the operator changed, in grid order, and the dialog ends.
        dialogo.GridBombas->setCurrentCell(5, 0);
        QTest::keyClick(dialogo.GridBombas, Qt::Key_Space);
        dialogo.BitBtn1->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogo.isVisible(), 30000);
        QCOMPARE(posto.Falso->Comandos, QStringList({"FBloqueiaBico 004", "FLiberaBico 070"}));
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
    }

    // A station with no nozzle on the concentrator: one empty row, which double click and Space
    // leave unmarked; the button sends a release with the empty code, whose conversion error is
    // shown in the error box, and the dialog closes.
    void BloqueioSemBicosMostraALinhaVaziaEOErro()
    {
        TPostoTeste posto;
        posto.Executa("Update Bombas Set CodConcentrador = NULL");
        TMotor motor(posto.IniciaMotor());
        posto.Ciclo().ParaLeitura();
        posto.Falso->Status = "BLLL";
        posto.Falso->CodigosRecusados << QString();
        TFBloqDesbBico dialogo(motor, posto.Respondedor);
        dialogo.Prepara();
        dialogo.show();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogo.Ocupado(), 30000);
        QCOMPARE(dialogo.QuantidadeLinhas(), 2);
        for (int coluna : {TFBloqDesbBico::ColBico, TFBloqDesbBico::ColDescricao, TFBloqDesbBico::ColConcentrador})
            QCOMPARE(dialogo.Celula(coluna, 1), QString());
        const QRect celula = dialogo.GridBombas->visualItemRect(dialogo.GridBombas->item(0, 0));
        DuploClique(dialogo.GridBombas, celula.center());
        QTest::keyClick(dialogo.GridBombas, Qt::Key_Space);
        QVERIFY(!dialogo.Marcada(1));

        dialogo.BitBtn1->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogo.isVisible(), 30000);
        QCOMPARE(posto.Falso->Comandos, QStringList("FLiberaBico "));
        QCOMPARE(posto.Respondedor.Caixas.size(), 1);
        QCOMPARE(posto.Respondedor.Caixas[0].Tipo, TTipoMensagem::Erro);
        QCOMPARE(posto.Respondedor.Caixas[0].Texto, QString("'' não é um valor inteiro válido."));
    }

    void BloqueioPelaBarraNomeiaORecusado()
    {
        // From the toolbar: position 1 read as blocked marks 01, 03 and 07 (004, 068, 196: channels
        // 1, 2 and 4); the operator frees 03 and blocks 08 (197); the concentrator refuses 08, which
        // is named.
        TPostoTeste posto;
        TMenuPrin janela(posto.CriaMotor());
        QTRY_VERIFY_WITH_TIMEOUT(janela.Iniciado(), 30000); // start-up runs on the engine's thread
        posto.Ciclo().ParaLeitura();
        posto.Falso->Status = "BLLL";
        posto.Falso->CodigosRecusados << "197";
        bool aberto = false;
        NoDialogo<TFBloqDesbBico>([&](TFBloqDesbBico& dialogo) {
            aberto = true;
            QTRY_VERIFY_WITH_TIMEOUT(!dialogo.Ocupado(), 30000);
            QVERIFY(dialogo.Marcada(1) && dialogo.Marcada(3) && dialogo.Marcada(7));
            QVERIFY(!dialogo.Marcada(2) && !dialogo.Marcada(8));
            for (int linha : {2, 7}) {
                dialogo.GridBombas->setCurrentCell(linha, 0);
                QTest::keyClick(dialogo.GridBombas, Qt::Key_Space);
            }
            dialogo.BitBtn1->click();
            QTRY_VERIFY_WITH_TIMEOUT(!dialogo.isVisible(), 30000);
        });
        janela.SpeedButton3->click();
        QVERIFY(aberto);
        QCOMPARE(posto.Falso->Comandos, QStringList({"FLiberaBico 068", "FBloqueiaBico 197"}));
        QCOMPARE(posto.Respondedor.Caixas.size(), 1);
        QCOMPARE(posto.Respondedor.Caixas[0].Texto,
                 QString("Erro ao bloquear o Bico: 08\r'197' não é um valor inteiro válido"));
        QVERIFY(janela.findChildren<TFBloqDesbBico*>().isEmpty());

        // A failure while preparing is shown and the dialog ends.
        posto.Falso->StatusMudo = true;
        janela.SpeedButton3->click();
        QCOMPARE(posto.Respondedor.Caixas.size(), 2);
        QCOMPARE(posto.Respondedor.Caixas[1].Tipo, TTipoMensagem::Erro);
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
