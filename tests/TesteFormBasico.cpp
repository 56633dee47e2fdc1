#include "AlteraPreco.h"
#include "FormBasico.h"
#include "PostoTeste.h"
#include "TirarEncerrantes.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTableWidget>

namespace {

// Counts the key presses that reach a control.
class TContaTeclas : public QObject {
public:
    QList<int> Teclas;
    bool eventFilter(QObject*, QEvent* evento) override
    {
        if (evento->type() == QEvent::KeyPress)
            Teclas << static_cast<QKeyEvent*>(evento)->key();
        return false;
    }
};

// A dialog with one control of every kind, in this tab order: edit, grid, edit, combo, memo, button.
class TDialogoTeste : public TFrmBasico {
public:
    QLineEdit* Edit1;
    QTableWidget* Grade;
    QLineEdit* Edit2;
    QComboBox* Combo;
    QPlainTextEdit* Memo;
    QPushButton* Botao;
    TConsulta* Consulta;
    bool Fecha = true;
    QList<quint16> TeclasF5;

    explicit TDialogoTeste(TContexto& contexto) : TFrmBasico(contexto)
    {
        setObjectName("DialogoTeste");
        Edit1 = new QLineEdit(this);
        Edit1->setGeometry(10, 10, 100, 20);
        Grade = new QTableWidget(3, 2, this);
        Grade->setGeometry(10, 40, 200, 100);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 2; ++c)
                Grade->setItem(r, c, new QTableWidgetItem(QString::number(r * 10 + c)));
        Edit2 = new QLineEdit(this);
        Edit2->setGeometry(10, 150, 100, 20);
        Combo = new QComboBox(this);
        Combo->addItems({"um", "dois", "três"});
        Combo->setGeometry(10, 180, 100, 20);
        Memo = new QPlainTextEdit(this);
        Memo->setGeometry(220, 10, 200, 100);
        Botao = new QPushButton("Botão", this);
        Botao->setGeometry(220, 150, 75, 25);
        Edit1->setObjectName("Edit1");
        Grade->setObjectName("Grade");
        Edit2->setObjectName("Edit2");
        Combo->setObjectName("Combo");
        Memo->setObjectName("Memo");
        Botao->setObjectName("Botao");
        Consulta = new TConsulta(nullptr, this);
        FormCreate();
    }
    bool PodeFechar(quint16& Key) override { return Fecha && TFrmBasico::PodeFechar(Key); }
    bool TeclaF5(quint16& Key) override
    {
        TeclasF5 << Key;
        return true;
    }
};

} // namespace

class TesteFormBasico : public QObject {
    Q_OBJECT

    TRelogioTeste relogio;
    TRespondedorTeste respondedor;
    std::unique_ptr<TContexto> contexto;
    QPointer<TDialogoTeste> dialogo;
    // A station for the grid dialogs, made when first needed.
    std::unique_ptr<TPostoTeste> FPosto;
    std::unique_ptr<TMotor> FMotor;

    QWidget* Foco() const
    {
        if (QWidget* popup = QApplication::activePopupWidget())
            return popup->focusWidget() ? popup->focusWidget() : popup;
        return QApplication::focusWidget();
    }
    void Tecla(Qt::Key tecla, Qt::KeyboardModifiers modificadores = Qt::NoModifier)
    {
        QTest::keyClick(Foco(), tecla, modificadores);
    }
    void Foca(QWidget* controle)
    {
        controle->setFocus();
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), controle, 30000);
    }
    // The grid's cell editor on row 1, column 1.
    QWidget* EditaCelula()
    {
        Foca(dialogo->Grade);
        dialogo->Grade->setCurrentCell(1, 1);
        dialogo->Grade->editItem(dialogo->Grade->item(1, 1));
        QWidget* editor = QApplication::focusWidget();
        [&] { QVERIFY(qobject_cast<QLineEdit*>(editor) && dialogo->Grade->isAncestorOf(editor)); }();
        return editor;
    }

private slots:
    void init()
    {
        contexto = std::make_unique<TContexto>(relogio, respondedor, TConfiguracaoRegional::PtBr());
        dialogo = new TDialogoTeste(*contexto);
        dialogo->show();
        QVERIFY(QTest::qWaitForWindowActive(dialogo));
    }
    void cleanup()
    {
        delete dialogo.data();
        contexto.reset();
    }
    void cleanupTestCase()
    {
        FMotor.reset();
        FPosto.reset();
    }

    void FormaEConexao()
    {
        QCOMPARE(dialogo->Consulta->Conexao(), &contexto->CnTankora());
        QCOMPARE(dialogo->windowTitle(), QString("Formulário Básico"));
        QCOMPARE(dialogo->size(), QSize(474, 287));
        QCOMPARE(dialogo->minimumSize(), dialogo->maximumSize());
    }

    void EnterAvancaForaDeGradeEMemo()
    {
        // An edit box moves on and still receives the key; Ctrl+Enter counts as Enter.
        QSignalSpy retorno(dialogo->Edit1, &QLineEdit::returnPressed);
        Foca(dialogo->Edit1);
        Tecla(Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), dialogo->Grade);
        QCOMPARE(retorno.size(), 1);
        Foca(dialogo->Edit2);
        Tecla(Qt::Key_Enter, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), dialogo->Combo);

        // A grid and a multi-line box keep the key.
        QSignalSpy ativado(dialogo->Grade, &QTableWidget::activated);
        Foca(dialogo->Grade);
        dialogo->Grade->setCurrentCell(0, 0);
        Tecla(Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), dialogo->Grade);
        QCOMPARE(ativado.size(), 1);
        Foca(dialogo->Memo);
        QTest::keyClicks(dialogo->Memo, "a");
        Tecla(Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), dialogo->Memo);
        QCOMPARE(dialogo->Memo->toPlainText(), QString("a\n"));

        // The grid's cell editor keeps Enter too: the edit ends in the grid, which keeps the focus,
        // and the typed text reaches the cell.
        QWidget* editor = EditaCelula();
        QTest::keyClicks(editor, "7");
        Tecla(Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), dialogo->Grade, 30000);
        QCOMPARE(dialogo->Grade->item(1, 1)->text(), QString("7"));
        QVERIFY(dialogo->isVisible());
    }

    void ListaAbertaFicaComAsTeclas()
    {
        // Up and Enter go to the open list: the focus stays on the combo box.
        Foca(dialogo->Combo);
        dialogo->Combo->showPopup();
        QTRY_VERIFY_WITH_TIMEOUT(QApplication::activePopupWidget(), 30000);
        Tecla(Qt::Key_Down);
        Tecla(Qt::Key_Down);
        Tecla(Qt::Key_Up);
        QVERIFY(QApplication::activePopupWidget());
        Tecla(Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activePopupWidget(), 30000);
        QCOMPARE(QApplication::focusWidget(), dialogo->Combo);
        QCOMPARE(dialogo->Combo->currentIndex(), 1);
    }

    void EnterNoBotaoClica()
    {
        QSignalSpy clique(dialogo->Botao, &QPushButton::clicked);
        Foca(dialogo->Botao);
        Tecla(Qt::Key_Return);
        QCOMPARE(clique.size(), 1);
        QCOMPARE(QApplication::focusWidget(), dialogo->Botao);
    }

    void SetaAcimaVoltaSemChegarAoEdit()
    {
        TContaTeclas teclas;
        dialogo->Edit2->installEventFilter(&teclas);
        Foca(dialogo->Edit2);
        Tecla(Qt::Key_Up);
        QCOMPARE(QApplication::focusWidget(), dialogo->Grade);
        QVERIFY(teclas.Teclas.isEmpty());
        Tecla(Qt::Key_Down); // other keys do reach their control
        Foca(dialogo->Edit2);
        Tecla(Qt::Key_Down);
        QCOMPARE(teclas.Teclas, QList<int>{Qt::Key_Down});

        // The first control wraps to the last.
        Foca(dialogo->Edit1);
        Tecla(Qt::Key_Up, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), dialogo->Botao);

        // The grid moves its selection; the cell editor goes back before the grid.
        Foca(dialogo->Grade);
        dialogo->Grade->setCurrentCell(2, 0);
        Tecla(Qt::Key_Up);
        QCOMPARE(QApplication::focusWidget(), dialogo->Grade);
        QCOMPARE(dialogo->Grade->currentRow(), 1);
        QWidget* editor = EditaCelula();
        TContaTeclas teclasEditor;
        editor->installEventFilter(&teclasEditor);
        Tecla(Qt::Key_Up);
        QCOMPARE(QApplication::focusWidget(), dialogo->Edit1);
        QVERIFY(teclasEditor.Teclas.isEmpty());
        QCOMPARE(dialogo->Grade->currentRow(), 1);
    }

    void EscFecha_data()
    {
        QTest::addColumn<QString>("controle");
        QTest::newRow("edit") << "Edit1";
        QTest::newRow("grade") << "Grade";
        QTest::newRow("memo") << "Memo";
    }
    void EscFecha()
    {
        QFETCH(QString, controle);
        Foca(controle == "Edit1"   ? static_cast<QWidget*>(dialogo->Edit1)
             : controle == "Grade" ? static_cast<QWidget*>(dialogo->Grade)
                                   : static_cast<QWidget*>(dialogo->Memo));
        Tecla(Qt::Key_Escape);
        QVERIFY(!dialogo->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(dialogo.isNull(), 30000); // closing frees the dialog
    }

    void EscComListaAbertaFechaSoALista()
    {
        Foca(dialogo->Combo);
        dialogo->Combo->showPopup();
        QTRY_VERIFY_WITH_TIMEOUT(QApplication::activePopupWidget(), 30000);
        Tecla(Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activePopupWidget(), 30000);
        QVERIFY(dialogo->isVisible());
        QCOMPARE(QApplication::focusWidget(), dialogo->Combo);
        // PodeFechar may keep the dialog open; otherwise the second Esc closes it.
        dialogo->Fecha = false;
        Tecla(Qt::Key_Escape);
        QVERIFY(dialogo->isVisible());
        dialogo->Fecha = true;
        Tecla(Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(dialogo.isNull(), 30000);
    }

    void TeclasDeFuncaoNaoFazemNada_data()
    {
        QTest::addColumn<Qt::KeyboardModifiers>("modificadores");
        QTest::newRow("sem") << Qt::KeyboardModifiers(Qt::NoModifier);
        QTest::newRow("shift") << Qt::KeyboardModifiers(Qt::ShiftModifier);
        QTest::newRow("ctrl+alt") << (Qt::ControlModifier | Qt::AltModifier);
    }
    void TeclasDeFuncaoNaoFazemNada()
    {
        QFETCH(Qt::KeyboardModifiers, modificadores);
        Foca(dialogo->Edit1);
        dialogo->Edit1->setText("abc");
        for (int i = 0; i < 12; ++i) {
            const auto tecla = static_cast<Qt::Key>(Qt::Key_F1 + i);
            QTest::keyPress(Foco(), tecla, modificadores);
            QCOMPARE(dialogo->UltimaTecla(), quint16(112 + i));
            QTest::keyRelease(Foco(), tecla, modificadores);
            QCOMPARE(dialogo->UltimaTecla(), quint16(0));
        }
        QCOMPARE(QApplication::focusWidget(), dialogo->Edit1);
        QCOMPARE(dialogo->Edit1->text(), QString("abc"));
        QVERIFY(dialogo->isVisible());
        // Dispatched whatever the modifiers: F5 reaches its hook as F5.
        QCOMPARE(dialogo->TeclasF5, QList<quint16>{116});
    }

    void TeclasPorControleEDialogo_data()
    {
        QTest::addColumn<QString>("janela");   // the test dialog, or one of the grid dialogs
        QTest::addColumn<QString>("controle"); // a control's name, or "editor": a grid cell being edited
        QTest::addColumn<int>("tecla");
        QTest::addColumn<QString>("esperado"); // "clica" when the focused button was clicked, then
                                               // "fecha" or the control that has the focus
        const int enter = Qt::Key_Return, esc = Qt::Key_Escape, acima = Qt::Key_Up;
        struct TCaso {
            const char* janela;
            const char* controle;
            int tecla;
            const char* esperado;
        };
        const TCaso casos[] = {
            // Enter: moves on from a plain control, stays in a grid and its cell editor (the edit
            // ends in the cell), clicks a focused button.
            {"base", "Edit1", enter, "foco Grade"},
            {"base", "Grade", enter, "foco Grade"},
            {"base", "editor", enter, "foco Grade, célula 7"},
            {"base", "Memo", enter, "foco Memo"},
            {"base", "Botao", enter, "clica, foco Botao"},
            {"precos", "GridBombas", enter, "foco GridBombas"},
            {"precos", "editor", enter, "foco GridBombas, célula 7,000"},
            // A job's wait disables the buttons, and the focus goes to the grid.
            {"precos", "BtOk", enter, "clica, foco GridBombas"},
            {"precos", "BtCancelar", enter, "clica, fecha"},
            {"encerrantes", "GridBombas", enter, "foco GridBombas"},
            {"encerrantes", "BtMarcar", enter, "clica, foco BtMarcar"},
            {"encerrantes", "BtOk", enter, "clica, foco GridBombas"},
            {"encerrantes", "BtCancelar", enter, "clica, fecha"},
            // Esc: closes, except in a cell being edited, where it drops the edit only.
            {"base", "Edit1", esc, "fecha"},
            {"base", "Botao", esc, "fecha"},
            {"base", "editor", esc, "foco Grade, célula 1"},
            {"precos", "GridBombas", esc, "fecha"},
            {"precos", "editor", esc, "foco GridBombas, célula 6,190"},
            {"precos", "BtOk", esc, "fecha"},
            {"encerrantes", "GridBombas", esc, "fecha"},
            {"encerrantes", "BtMarcar", esc, "fecha"},
            // Up: back to the previous control, except in a grid.
            {"base", "Botao", acima, "foco Memo"},
            {"base", "Grade", acima, "foco Grade"},
            {"precos", "BtOk", acima, "foco GridBombas"},
            {"precos", "BtCancelar", acima, "foco BtOk"},
            {"precos", "GridBombas", acima, "foco GridBombas"},
            {"encerrantes", "BtOk", acima, "foco GridBombas"},
            {"encerrantes", "BtMarcar", acima, "foco BtEncerrantes"},
        };
        for (const TCaso& c : casos)
            QTest::addRow("%s %s %s", c.janela, c.controle,
                          c.tecla == enter ? "Enter" : c.tecla == esc ? "Esc" : "Acima")
                << QString(c.janela) << QString(c.controle) << c.tecla << QString(c.esperado);
    }
    void TeclasPorControleEDialogo()
    {
        // The base form's key table, the same in the test dialog and in both grid dialogs.
        QFETCH(QString, janela);
        QFETCH(QString, controle);
        QFETCH(int, tecla);
        QFETCH(QString, esperado);
        QPointer<TFrmBasico> alvo = dialogo.data();
        QTableWidget* grade = dialogo->Grade;
        int colunaEditada = 1;
        if (janela != "base") {
            if (!FPosto) {
                FPosto = std::make_unique<TPostoTeste>();
                FPosto->IniciaMotor().Ciclo().ParaLeitura();
                FMotor = std::make_unique<TMotor>(*FPosto->Motor);
            }
            dialogo->hide();
            if (janela == "precos") {
                auto* precos = new TFAlteraPreco(*FMotor);
                alvo = precos;
                grade = precos->GridBombas;
                colunaEditada = TFAlteraPreco::kColPreco;
            } else {
                auto* encerrantes = new TFTirarEncerrantes(*FMotor);
                alvo = encerrantes;
                grade = encerrantes->GridBombas;
            }
            alvo->show();
            QVERIFY(QTest::qWaitForWindowActive(alvo));
        }
        auto ocupado = [&] {
            if (auto* precos = qobject_cast<TFAlteraPreco*>(alvo))
                return precos->Ocupado();
            if (auto* encerrantes = qobject_cast<TFTirarEncerrantes*>(alvo))
                return encerrantes->Ocupado();
            return false;
        };
        auto libera = qScopeGuard([&] {
            if (alvo && alvo != dialogo.data())
                delete alvo.data();
        });
        QTRY_VERIFY_WITH_TIMEOUT(!ocupado(), 30000); // filled

        if (controle == "editor") {
            Foca(grade);
            grade->setCurrentCell(0, colunaEditada);
            Tecla(Qt::Key_F2);
            QVERIFY(grade->isAncestorOf(QApplication::focusWidget()));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(QApplication::focusWidget(), "7");
        } else {
            Foca(alvo->findChild<QWidget*>(controle));
        }
        std::unique_ptr<QSignalSpy> clique;
        if (auto* botao = qobject_cast<QPushButton*>(QApplication::focusWidget()))
            clique = std::make_unique<QSignalSpy>(botao, &QPushButton::clicked);
        Tecla(static_cast<Qt::Key>(tecla));
        QTRY_VERIFY_WITH_TIMEOUT(!alvo || !ocupado(), 30000);
        auto obtido = [&] {
            QStringList partes;
            if (clique && clique->size() == 1)
                partes << "clica";
            if (!alvo || !alvo->isVisible())
                partes << "fecha";
            else
                partes << "foco " + QApplication::focusWidget()->objectName();
            if (controle == "editor")
                partes << "célula " + grade->item(0, colunaEditada)->text();
            return partes.join(", ");
        };
        // A cell editor may hand its text over once the key has been dealt with.
        QTRY_COMPARE_WITH_TIMEOUT(obtido(), esperado, 30000);
    }

    void UltimaTecla()
    {
        Foca(dialogo->Memo);
        QTest::keyPress(dialogo->Memo, Qt::Key_Return);
        QVERIFY(dialogo->UltimaTeclaEnter());
        QTest::keyPress(dialogo->Memo, Qt::Key_A);
        QCOMPARE(dialogo->UltimaTecla(), quint16('A'));
        QVERIFY(!dialogo->UltimaTeclaEnter());
        QTest::keyRelease(dialogo->Memo, Qt::Key_A);
        QCOMPARE(dialogo->UltimaTecla(), quint16(0));
        QVERIFY(!dialogo->UltimaTeclaEnter() && !dialogo->UltimaTeclaEsc());
    }
};

QTEST_MAIN(TesteFormBasico)
#include "TesteFormBasico.moc"
