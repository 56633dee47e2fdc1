#include "BloqueiaBico.h"

#include "Contexto.h"
#include "Linkor.h"
#include "Erro.h"
#include "FonteDialogo.h"
#include "Grade.h"
#include "IgnoraEsc.h"

#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>

namespace {

constexpr int kLargura = 411; // the three columns and the grid lines
constexpr int kAltura = 300;
constexpr int kAlturaPainel = 41;

// Marked rows: red with yellow text, or yellow with red text when selected; unmarked selected
// rows take the system's selection colours. Text 2 pixels in from the cell's corner.
class TDesenhoBloqueio : public QStyledItemDelegate {
public:
    explicit TDesenhoBloqueio(TGradeBicos* grade) : QStyledItemDelegate(grade), FGrade(grade) {}
    void paint(QPainter* pintor, const QStyleOptionViewItem& opcao, const QModelIndex& indice) const override
    {
        const bool marcada = FGrade->MarcadaIndice(indice);
        const bool comBico = !indice.siblingAtColumn(TFBloqDesbBico::ColBico).data().toString().trimmed().isEmpty();
        const QPalette& paleta = opcao.widget ? opcao.widget->palette() : opcao.palette;
        QColor fundo = paleta.color(QPalette::Base);
        QColor texto = paleta.color(QPalette::Text);
        if (opcao.state & QStyle::State_Selected) {
            fundo = marcada ? QColor(255, 255, 0) : paleta.color(QPalette::Active, QPalette::Highlight);
            texto = marcada ? QColor(255, 0, 0) : paleta.color(QPalette::Active, QPalette::HighlightedText);
        } else if (marcada && comBico) {
            fundo = QColor(255, 0, 0);
            texto = QColor(255, 255, 0);
        }
        pintor->save();
        pintor->setClipRect(opcao.rect);
        pintor->fillRect(opcao.rect, fundo);
        pintor->setPen(texto);
        pintor->setFont(opcao.font);
        pintor->drawText(opcao.rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         indice.data().toString());
        pintor->restore();
    }

private:
    TGradeBicos* FGrade;
};


} // namespace

TFBloqDesbBico::TFBloqDesbBico(TMotor& motor, TMensagens& mensagens, QWidget* parent)
    : TFBloqDesbBico(*new TOperacoesLocais(motor), mensagens, parent)
{
    FTrabalho.AssumeOperacoes();
}

TFBloqDesbBico::TFBloqDesbBico(TOperacoesPosto& operacoes, TMensagens& mensagens, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      FMensagens(mensagens), FTrabalho(this, operacoes, [this](bool espera) { BitBtn1->setEnabled(!espera); })
{
    setObjectName(QStringLiteral("FBloqDesbBico"));
    setAttribute(Qt::WA_QuitOnClose, false);
    new TIgnoraEsc(this);
    CriaComponentes();
}

void TFBloqDesbBico::CriaComponentes()
{
    setWindowTitle(QStringLiteral("Bloqueia e Desbloqueia"));
    setFont(FonteMsSansSerif());
    QPalette janela = palette();
    janela.setColor(QPalette::Window, janela.color(QPalette::Button));
    setPalette(janela);
    setAutoFillBackground(true);
    setFixedSize(kLargura, kAltura);

    GridBombas = new TGradeBicos({QStringLiteral("Bico"), QStringLiteral("Descrição"), QStringLiteral("Concentrador")},
                                 {65, 253, 89}, kColunas, ColMarca, this);
    GridBombas->setGeometry(0, 0, kLargura, kAltura - kAlturaPainel);
    // A click selects a whole row, a drag or a shift-click a range of rows; nothing is edited.
    GridBombas->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridBombas->setSelectionMode(QAbstractItemView::ContiguousSelection);
    GridBombas->setItemDelegate(new TDesenhoBloqueio(GridBombas));
    GridBombas->installEventFilter(this);
    connect(GridBombas, &QTableWidget::cellDoubleClicked, this, [this] {
        try {
            MarcaBico();
        } catch (const std::exception& e) {
            FMensagens.MostraErroPadrao(MensagemDe(e));
        }
    });

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, kAltura - kAlturaPainel, kLargura, kAlturaPainel);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    BitBtn1 = new QPushButton(QStringLiteral("&Bloquear / Desbloquear"), Panel1);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_BrowserStop));
    BitBtn1->setAutoDefault(false);
    BitBtn1->setCursor(Qt::PointingHandCursor);
    BitBtn1->setGeometry((kLargura - 170) / 2, (kAlturaPainel - 25) / 2, 170, 25);
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        try {
            BitBtn1Click();
        } catch (const std::exception& e) {
            FMensagens.MostraErroPadrao(MensagemDe(e));
        }
    });
    GridBombas->setFocus();
}

bool TFBloqDesbBico::Executa()
{
    Prepara();
    exec();
    return true;
}

void TFBloqDesbBico::Prepara()
{
    PreencheGrade({});
    FTrabalho.Carrega<QList<TBicoBloqueio>>(
        [this](auto fim) { FTrabalho.Operacoes().CarregaBloqueio(this, std::move(fim)); },
        [this](const QList<TBicoBloqueio>& bicos) { PreencheGrade(bicos); },
        [this](const QString& erro) {
            FMensagens.MostraErroPadrao(erro);
            reject();
        });
}

void TFBloqDesbBico::DefineCelula(int linha, int coluna, const QString& texto)
{
    GridBombas->DefineCelula(linha, coluna, texto);
}

QString TFBloqDesbBico::Celula(int coluna, int linha) const
{
    return GridBombas->Celula(linha, coluna);
}

int TFBloqDesbBico::QuantidadeLinhas() const
{
    return GridBombas->QuantidadeLinhas();
}

bool TFBloqDesbBico::Marcada(int linha) const
{
    return GridBombas->Marcada(linha);
}

void TFBloqDesbBico::PreencheGrade(const QList<TBicoBloqueio>& bicos)
{
    FLidos = bicos;
    GridBombas->Esvazia(static_cast<int>(bicos.size()));
    int r = 1;
    for (const TBicoBloqueio& bico : bicos) {
        DefineCelula(r, ColBico, bico.CodBico);
        DefineCelula(r, ColDescricao, bico.Descricao);
        DefineCelula(r, ColConcentrador, bico.CodConcentrador);
        GridBombas->DefineMarca(r, bico.Marcado);
        ++r;
    }
    GridBombas->setCurrentCell(0, 0);
}

QList<TBicoBloqueio> TFBloqDesbBico::LeGrade() const
{
    QList<TBicoBloqueio> bicos;
    for (int r = 1; r < QuantidadeLinhas(); ++r)
        bicos << TBicoBloqueio{Celula(ColBico, r), Celula(ColDescricao, r), Celula(ColConcentrador, r), Marcada(r),
                               FLidos.value(r - 1).Bloqueado};
    return bicos;
}

void TFBloqDesbBico::MarcaBico()
{
    GridBombas->AlternaMarca(GridBombas->LinhaAtual());
}

bool TFBloqDesbBico::eventFilter(QObject* objeto, QEvent* evento)
{
    if (objeto == GridBombas && evento->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(evento)->key() == Qt::Key_Space) {
        const int r = GridBombas->currentRow() + 1;
        if (r >= 1 && !Celula(ColBico, r).isEmpty()) {
            MarcaBico();
            repaint();
        }
        return true;
    }
    return QDialog::eventFilter(objeto, evento);
}

void TFBloqDesbBico::BitBtn1Click()
{
    // The button ends the dialog once every command was tried; each one refused is named first.
    const QList<TBicoBloqueio> bicos = LeGrade();
    FTrabalho.Executa<TResultadoBloqueio>(
        [this, bicos](auto fim) { FTrabalho.Operacoes().Bloqueia(this, FTrabalho.Usuario(), bicos, std::move(fim)); },
        [this](const TRespostaOperacao<TResultadoBloqueio>& resposta) {
            if (resposta.Falhou())
                FMensagens.MostraErroPadrao(resposta.Erro);
            for (const QString& falha : resposta.Dados.Falhas)
                FMensagens.MostraMensagem(TTipoMensagem::Informacao, falha, TBotoes::Ok);
            accept();
        });
}
