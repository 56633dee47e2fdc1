#include "AlteraPreco.h"

#include "Contexto.h"
#include "Erro.h"
#include "Linkor.h"


#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyledItemDelegate>

#include <functional>

namespace {

// Opens the cell editor only where the dialog allows it; Enter and Tab in it are the dialog's.
class TDelegadoGrade : public QStyledItemDelegate {
public:
    TDelegadoGrade(TFAlteraPreco* dialogo) : QStyledItemDelegate(dialogo), FDialogo(dialogo) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& opcao, const QModelIndex& indice) const override
    {
        QString texto = indice.data().toString();
        if (!FDialogo->GridBombasGetEditText(indice.column(), indice.row() + 1, texto))
            return nullptr;
        return QStyledItemDelegate::createEditor(parent, opcao, indice);
    }

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override
    {
        auto* editor = qobject_cast<QWidget*>(objeto);
        if (editor && evento->type() == QEvent::KeyPress) {
            const int tecla = static_cast<QKeyEvent*>(evento)->key();
            if (tecla == Qt::Key_Return || tecla == Qt::Key_Enter || tecla == Qt::Key_Tab || tecla == Qt::Key_Backtab) {
                // The typed text is the cell's before anything moves; Esc stays the editor's own
                // (the edit is dropped).
                emit commitData(editor);
                emit closeEditor(editor, QAbstractItemDelegate::NoHint);
                try {
                    FDialogo->SaiDaCelula(tecla);
                } catch (const std::exception& e) {
                    FDialogo->Mensagens().MostraErroPadrao(MensagemDe(e));
                }
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(objeto, evento);
    }

private:
    TFAlteraPreco* FDialogo;
};

// The grid's own key handling, after the dialog's preview and before the grid's.
class TTeclasGrade : public QObject {
public:
    TTeclasGrade(QObject* dono, std::function<void(QKeyEvent*)> tratamento)
        : QObject(dono), FTratamento(std::move(tratamento))
    {
    }
    bool eventFilter(QObject*, QEvent* evento) override
    {
        if (evento->type() == QEvent::KeyPress)
            FTratamento(static_cast<QKeyEvent*>(evento));
        return false;
    }

private:
    std::function<void(QKeyEvent*)> FTratamento;
};

} // namespace

TFAlteraPreco::TFAlteraPreco(TMotor& motor, QWidget* parent)
    : TFAlteraPreco(motor.Linkor().Contexto(), *new TOperacoesLocais(motor), parent)
{
    FTrabalho.AssumeOperacoes();
}

TFAlteraPreco::TFAlteraPreco(TContexto& contexto, TOperacoesPosto& operacoes, QWidget* parent)
    : TFrmBasico(contexto, parent), FTrabalho(this, operacoes, [this](bool espera) {
          BtOk->setEnabled(!espera);
          BtCancelar->setEnabled(!espera);
      })
{
    CriaComponentes();
    FormCreate();
}

TFAlteraPreco::~TFAlteraPreco()
{
    if (FAlteraPreco == this)
        FAlteraPreco = nullptr;
}

void TFAlteraPreco::CriaComponentes()
{
    setObjectName(QStringLiteral("FAlteraPreco"));
    setWindowTitle(QStringLiteral("Alterar Preços das Bombas"));
    setFixedSize(412, 249);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setGeometry(0, 0, 412, 203);

    // Each width holds the cell and its grid line.
    GridBombas = new TGradeBicos({QStringLiteral("Bico"), QStringLiteral("Descrição"), QStringLiteral("Preço")},
                                 {66, 254, 90}, kColunas, -1, Panel1);
    GridBombas->setGeometry(Panel1->contentsRect());
    GridBombas->DefineColunaEditavel(kColPreco);
    GridBombas->horizontalHeader()->setFixedHeight(19);
    GridBombas->verticalHeader()->setDefaultSectionSize(19);
    GridBombas->setSelectionMode(QAbstractItemView::ContiguousSelection);
    GridBombas->setSelectionBehavior(QAbstractItemView::SelectItems);
    GridBombas->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked
                                | QAbstractItemView::EditKeyPressed);
    GridBombas->setItemDelegate(new TDelegadoGrade(this));
    GridBombas->setStyleSheet(QStringLiteral(
        "QTableWidget { gridline-color: black; }"));
    GridBombas->installEventFilter(new TTeclasGrade(this, [this](QKeyEvent* tecla) {
        quint16 Key = CodigoTecla(tecla->key(), tecla->modifiers());
        try {
            GridBombasKeyDown(Key, tecla->modifiers());
        } catch (const std::exception& e) {
            Mensagens().MostraErroPadrao(MensagemDe(e));
        }
    }));

    BtOk = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("&OK"), this);
    BtOk->setObjectName(QStringLiteral("BtOk"));
    BtOk->setGeometry(101, 207, 75, 25);
    connect(BtOk, &QPushButton::clicked, this, &TFAlteraPreco::BtOkClick);
    BtCancelar = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("&Cancelar"),
                                 this);
    BtCancelar->setObjectName(QStringLiteral("BtCancelar"));
    BtCancelar->setGeometry(225, 207, 75, 25);
    connect(BtCancelar, &QPushButton::clicked, this, &TFAlteraPreco::BtCancelarClick);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, 249 - 16, 412, 16);
}

void TFAlteraPreco::FormCreate()
{
    TFrmBasico::FormCreate();
    CarregaPrecos();
}

void TFAlteraPreco::Informa(const QString& texto)
{
    Mensagens().MostraMensagem(TTipoMensagem::Informacao, texto, TBotoes::Ok);
}

void TFAlteraPreco::FormClose()
{
    TFrmBasico::FormClose();
    if (FAlteraPreco == this)
        FAlteraPreco = nullptr;
}

TLinhaPreco TFAlteraPreco::Linha(int Row) const
{
    return {GridBombas->Celula(Row, kColBico), GridBombas->Celula(Row, kColDescricao), GridBombas->Celula(Row, kColPreco),
            GridBombas->Celula(Row, kColConcentrador), GridBombas->Celula(Row, kColAnterior)};
}

void TFAlteraPreco::CarregaPrecos()
{
    PreencheGrade({});
    FTrabalho.Carrega<QList<TLinhaPreco>>(
        [this](auto fim) { FTrabalho.Operacoes().CarregaPrecos(this, std::move(fim)); },
        [this](const QList<TLinhaPreco>& linhas) { PreencheGrade(linhas); },
        [this](const QString& erro) {
            Mensagens().MostraErroPadrao(erro);
            close();
        });
}

void TFAlteraPreco::PreencheGrade(const QList<TLinhaPreco>& linhas)
{
    GridBombas->Esvazia(static_cast<int>(linhas.size()));
    for (int r = 1; r <= linhas.size(); ++r) {
        const TLinhaPreco& linha = linhas[r - 1];
        GridBombas->DefineCelula(r, kColBico, linha.CodBico);
        GridBombas->DefineCelula(r, kColDescricao, linha.Descricao);
        GridBombas->DefineCelula(r, kColPreco, linha.Preco);
        GridBombas->DefineCelula(r, kColConcentrador, linha.CodConcentrador);
        GridBombas->DefineCelula(r, kColAnterior, linha.PrecoAnterior);
    }
    // Typing at once goes into the first price, the only column that takes it.
    GridBombas->setCurrentCell(0, kColPreco);
}

bool TFAlteraPreco::GridBombasGetEditText(int ACol, int, QString&)
{
    // Nozzle and description are shown, never edited.
    return ACol != kColBico && ACol != kColDescricao;
}

bool TFAlteraPreco::ValidaPreco(int Col, int Row)
{
    if (Col == kColBico) {
        GridBombas->setCurrentCell(GridBombas->currentRow(), kColDescricao);
        return true;
    }
    if (Col != kColPreco)
        return true;
    QString texto = GridBombas->Celula(Row, kColPreco);
    const TValidacaoPreco validacao = TServicoAlteraPreco::ValidaPreco(texto, Regional());
    GridBombas->DefineCelula(Row, kColPreco, texto);
    if (validacao == TValidacaoPreco::Valido)
        return true;
    Informa(TServicoAlteraPreco::MensagemValidacao(validacao));
    GridBombas->setCurrentCell(Row - 1, kColPreco);
    GridBombas->setFocus();
    return false;
}

void TFAlteraPreco::GridBombasKeyDown(quint16& Key, Qt::KeyboardModifiers)
{
    if (Key != kTeclaEnter)
        return;
    if (!ValidaPreco(GridBombas->currentColumn(), GridBombas->LinhaAtual()))
        return;
    const int coluna = GridBombas->currentColumn();
    const int linha = GridBombas->currentRow();
    if (coluna < kColPreco)
        GridBombas->setCurrentCell(linha, coluna + 1);
    else if (linha == GridBombas->rowCount() - 1)
        BtOk->setFocus();
    else
        GridBombas->setCurrentCell(linha + 1, kColPreco);
}

void TFAlteraPreco::SaiDaCelula(int tecla)
{
    GridBombas->setFocus(Qt::OtherFocusReason);
    const int linha = GridBombas->currentRow();
    if (tecla == Qt::Key_Return || tecla == Qt::Key_Enter) {
        quint16 Key = kTeclaEnter;
        GridBombasKeyDown(Key, Qt::NoModifier);
        return;
    }
    if (!ValidaPreco(kColPreco, GridBombas->LinhaAtual()))
        return;
    const bool volta = tecla == Qt::Key_Backtab;
    const int destino = linha + (volta ? -1 : 1);
    if (destino >= 0 && destino < GridBombas->rowCount())
        GridBombas->setCurrentCell(destino, kColPreco);
    else
        focusNextPrevChild(!volta); // out of the grid, as Tab from it goes
}

void TFAlteraPreco::BtOkClick()
{
    // "&OK" by its letter leaves a cell editor open: what it holds is the cell's first.
    if (QWidget* foco = focusWidget(); foco && foco != GridBombas && GridBombas->isAncestorOf(foco))
        GridBombas->setFocus(Qt::OtherFocusReason);
    // Every row is checked before anything is written or sent: a refused row leaves the pumps and
    // the database as they were.
    QList<TLinhaPreco> linhas;
    for (int r = 1; r < GridBombas->QuantidadeLinhas(); ++r) {
        if (!ValidaPreco(kColPreco, r))
            return;
        linhas << Linha(r);
    }
    FTrabalho.Executa<TResultadoPrecos>(
        [this, linhas](auto fim) { FTrabalho.Operacoes().GravaPrecos(this, FTrabalho.Usuario(), linhas, std::move(fim)); },
        [this, linhas](const TRespostaOperacao<TResultadoPrecos>& resposta) {
            if (resposta.Falhou()) {
                Mensagens().MostraErroPadrao(resposta.Erro);
                return;
            }
            const TResultadoPrecos* resultado = &resposta.Dados;
            // What pump and database now agree on is the price the next "&OK" starts from.
            for (int r = 1; r < GridBombas->QuantidadeLinhas() && r <= linhas.size(); ++r)
                if (resultado->Gravados.contains(linhas[r - 1].CodBico))
                    GridBombas->DefineCelula(r, kColAnterior, linhas[r - 1].Preco);
            if (resultado->Falhou())
                Mensagens().MostraMensagem(TTipoMensagem::Erro, TServicoAlteraPreco::MensagemFalha(*resultado),
                                           TBotoes::Ok);
        });
}

void TFAlteraPreco::BtCancelarClick()
{
    close();
}
