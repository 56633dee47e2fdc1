#include "TirarEncerrantes.h"

#include "Contexto.h"
#include "Erro.h"
#include "Grade.h"
#include "Linkor.h"

#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString kMarcarTodos = QStringLiteral("Marcar Todos");
const QString kDesmarcarTodos = QStringLiteral("Desmarcar Todos");

// A marked row: light green with blue text, over the grid's own drawing.
class TDesenhoEncerrantes : public QStyledItemDelegate {
public:
    explicit TDesenhoEncerrantes(TGradeBicos* grade) : QStyledItemDelegate(grade), FGrade(grade) {}
    void paint(QPainter* pintor, const QStyleOptionViewItem& opcao, const QModelIndex& indice) const override
    {
        QStyledItemDelegate::paint(pintor, opcao, indice);
        if (!FGrade->MarcadaIndice(indice))
            return;
        pintor->save();
        pintor->fillRect(opcao.rect, QColor(164, 255, 209));
        pintor->setPen(QColor(0, 0, 255));
        pintor->setFont(opcao.font);
        pintor->drawText(opcao.rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         indice.data().toString());
        pintor->restore();
    }

private:
    TGradeBicos* FGrade;
};

QPushButton* Botao(QWidget* dono, const QString& nome, const QString& titulo, const QRect& lugar)
{
    auto* botao = new QPushButton(titulo, dono);
    botao->setObjectName(nome);
    botao->setGeometry(lugar);
    botao->setCursor(Qt::PointingHandCursor);
    botao->setAutoDefault(false);
    return botao;
}

} // namespace

TFTirarEncerrantes* TFTirarEncerrantes::FTirarEncerrantes = nullptr;

TFTirarEncerrantes::TFTirarEncerrantes(TMotor& motor, QWidget* parent)
    : TFTirarEncerrantes(motor.Linkor().Contexto(), *new TOperacoesLocais(motor), parent)
{
    FTrabalho.AssumeOperacoes();
}

TFTirarEncerrantes::TFTirarEncerrantes(TContexto& contexto, TOperacoesPosto& operacoes, QWidget* parent)
    : TFrmBasico(contexto, parent), FTrabalho(this, operacoes, [this](bool espera) { HabilitaBotoes(!espera); })
{
    setObjectName(QStringLiteral("FTirarEncerrantes"));
    CriaComponentes();
    FormCreate();
}

TFTirarEncerrantes::~TFTirarEncerrantes()
{
    if (FTirarEncerrantes == this)
        FTirarEncerrantes = nullptr;
}

void TFTirarEncerrantes::CriaComponentes()
{
    setWindowTitle(QStringLiteral("Tirar Encerrantes"));
    setFixedSize(549, 412);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, 549, 366);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);
    auto* layout = new QVBoxLayout(Panel1);
    layout->setContentsMargins(0, 0, 0, 0);

    GridBombas = new TGradeBicos({QStringLiteral("Bico"), QStringLiteral("Descrição"), QStringLiteral("Inicial"),
                                  QStringLiteral("Final"), QStringLiteral("Saida")},
                                 {65, 225, 86, 83, 82}, kColunas, ColMarca, Panel1);
    // A range of cells can be selected; nothing is edited.
    GridBombas->setSelectionMode(QAbstractItemView::ContiguousSelection);
    GridBombas->setSelectionBehavior(QAbstractItemView::SelectItems);
    GridBombas->setItemDelegate(new TDesenhoEncerrantes(GridBombas));
    GridBombas->installEventFilter(this);
    layout->addWidget(GridBombas);
    connect(GridBombas, &QTableWidget::cellDoubleClicked, this, [this] { Protegido([this] { GridBombasDblClick(); }); });

    BtMarcar = Botao(this, QStringLiteral("BtMarcar"), kMarcarTodos, QRect(4, 370, 110, 25));
    BtEncerrantes = Botao(this, QStringLiteral("BtEncerrantes"),
                          QStringLiteral("Capturar encerrantes dos bicos selecionados"), QRect(120, 370, 265, 25));
    QPalette navy = BtEncerrantes->palette();
    navy.setColor(QPalette::ButtonText, QColor(0, 0, 128));
    BtEncerrantes->setPalette(navy);
    BtOk = Botao(this, QStringLiteral("BtOk"), QStringLiteral("&OK"), QRect(390, 370, 75, 25));
    BtOk->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BtCancelar = Botao(this, QStringLiteral("BtCancelar"), QStringLiteral("&Cancelar"), QRect(466, 370, 75, 25));
    BtCancelar->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    connect(BtMarcar, &QPushButton::clicked, this, [this] { Protegido([this] { BtMarcarClick(); }); });
    connect(BtEncerrantes, &QPushButton::clicked, this, [this] { Protegido([this] { BtEncerrantesClick(); }); });
    connect(BtOk, &QPushButton::clicked, this, [this] { Protegido([this] { BtOkClick(); }); });
    connect(BtCancelar, &QPushButton::clicked, this, [this] { Protegido([this] { BtCancelarClick(); }); });

    StRodape = new QStatusBar(this);
    StRodape->setObjectName(QStringLiteral("StRodape"));
    StRodape->setSizeGripEnabled(false);
    StRodape->setGeometry(0, 412 - 16, 549, 16);
    FPainelRodape = new QLabel(StRodape);
    StRodape->addWidget(FPainelRodape, 1);

    setTabOrder(GridBombas, BtOk);
    setTabOrder(BtOk, BtCancelar);
    setTabOrder(BtCancelar, BtEncerrantes);
    setTabOrder(BtEncerrantes, BtMarcar);
    GridBombas->setFocus();
}

template <typename F>
void TFTirarEncerrantes::Protegido(F&& trabalho)
{
    try {
        trabalho();
    } catch (const std::exception& e) {
        Mensagens().MostraErroPadrao(MensagemDe(e));
    }
}

void TFTirarEncerrantes::Informa(const QString& texto, TTipoMensagem tipo)
{
    Mensagens().MostraMensagem(tipo, texto, TBotoes::Ok);
}

void TFTirarEncerrantes::FormCreate()
{
    TFrmBasico::FormCreate();
    PreencheGrade({});
    FTrabalho.Carrega<QList<TLinhaEncerrante>>(
        [this](auto fim) { FTrabalho.Operacoes().CarregaEncerrantes(this, std::move(fim)); },
        [this](const QList<TLinhaEncerrante>& linhas) { PreencheGrade(linhas); },
        [this](const QString& erro) {
            Mensagens().MostraErroPadrao(erro);
            close();
        });
}

void TFTirarEncerrantes::FormClose()
{
    TFrmBasico::FormClose();
    if (FTirarEncerrantes == this)
        FTirarEncerrantes = nullptr;
}

void TFTirarEncerrantes::DefineCelula(int linha, int coluna, const QString& texto)
{
    GridBombas->DefineCelula(linha, coluna, texto);
}

QString TFTirarEncerrantes::Celula(int coluna, int linha) const
{
    return GridBombas->Celula(linha, coluna);
}

int TFTirarEncerrantes::QuantidadeLinhas() const
{
    return GridBombas->QuantidadeLinhas();
}

bool TFTirarEncerrantes::Marcada(int linha) const
{
    return GridBombas->Marcada(linha);
}

bool TFTirarEncerrantes::Lida(int linha) const
{
    return Celula(ColLido, linha) == TGradeBicos::kMarca;
}

QString TFTirarEncerrantes::TextoRodape() const
{
    return FPainelRodape->text();
}

void TFTirarEncerrantes::DefineRodape(const QString& texto)
{
    FPainelRodape->setText(texto);
}

void TFTirarEncerrantes::PreencheGrade(const QList<TLinhaEncerrante>& linhas)
{
    // With no nozzle one empty row stays.
    GridBombas->Esvazia(static_cast<int>(linhas.size()));
    int r = 1;
    for (const TLinhaEncerrante& linha : linhas) {
        DefineCelula(r, ColBico, linha.CodBico);
        DefineCelula(r, ColDescricao, linha.Descricao);
        DefineCelula(r, ColInicial, linha.Inicial);
        DefineCelula(r, ColFinal, linha.Final);
        DefineCelula(r, ColSaida, linha.Saida);
        DefineCelula(r, ColConcentrador, linha.CodConcentrador);
        ++r;
    }
    GridBombas->setCurrentCell(0, 0);
}

TLinhaEncerrante TFTirarEncerrantes::LeLinha(int r) const
{
    return TLinhaEncerrante{Celula(ColBico, r),  Celula(ColDescricao, r), Celula(ColInicial, r),
                            Celula(ColFinal, r), Celula(ColSaida, r),     Celula(ColConcentrador, r),
                            Marcada(r),          Lida(r)};
}

QList<TLinhaEncerrante> TFTirarEncerrantes::LeGrade() const
{
    QList<TLinhaEncerrante> linhas;
    for (int r = 1; r < QuantidadeLinhas(); ++r)
        linhas << LeLinha(r);
    return linhas;
}

void TFTirarEncerrantes::AlternaMarca(int linha)
{
    // A nozzle off the concentrator cannot be read, so it is never marked for reading.
    if (linha >= 1 && linha < QuantidadeLinhas() && TServicoEncerrantes::Marcavel(LeLinha(linha)))
        GridBombas->AlternaMarca(linha);
}

void TFTirarEncerrantes::GridBombasDblClick()
{
    AlternaMarca(GridBombas->LinhaAtual());
}

void TFTirarEncerrantes::GridBombasKeyDown(int tecla)
{
    if (tecla == Qt::Key_Space)
        AlternaMarca(GridBombas->LinhaAtual());
}

bool TFTirarEncerrantes::eventFilter(QObject* objeto, QEvent* evento)
{
    if (TFrmBasico::eventFilter(objeto, evento))
        return true;
    if (objeto == GridBombas && evento->type() == QEvent::KeyPress) {
        const int tecla = static_cast<QKeyEvent*>(evento)->key();
        if (tecla == Qt::Key_Space) {
            Protegido([&] { GridBombasKeyDown(tecla); });
            return true;
        }
    }
    return false;
}

void TFTirarEncerrantes::BtMarcarClick()
{
    const bool marca = BtMarcar->text() == kMarcarTodos;
    if (!marca && BtMarcar->text() != kDesmarcarTodos)
        return;
    for (int r = 1; r < QuantidadeLinhas(); ++r)
        GridBombas->DefineMarca(r, marca && TServicoEncerrantes::Marcavel(LeLinha(r)));
    BtMarcar->setText(marca ? kDesmarcarTodos : kMarcarTodos);
    GridBombas->viewport()->repaint();
}

void TFTirarEncerrantes::HabilitaBotoes(bool habilita)
{
    for (QPushButton* botao : {BtEncerrantes, BtMarcar, BtOk, BtCancelar})
        botao->setEnabled(habilita);
}

void TFTirarEncerrantes::BtEncerrantesClick()
{
    // Each row read comes back at once: the grid and the status text follow the reading.
    const QList<TLinhaEncerrante> linhas = LeGrade();
    FTrabalho.Executa<TLeituraEncerrantes>(
        [this, linhas](auto fim) {
            FTrabalho.Operacoes().LeEncerrantes(
                this, FTrabalho.Usuario(), linhas,
                [this](int i, const TLinhaEncerrante& linha, const QString& status) {
                    DefineCelula(i + 1, ColFinal, linha.Final);
                    DefineCelula(i + 1, ColSaida, linha.Saida);
                    DefineCelula(i + 1, ColLido, linha.Lido ? TGradeBicos::kMarca : QString());
                    DefineRodape(status);
                },
                std::move(fim));
        },
        [this](const TRespostaOperacao<TLeituraEncerrantes>& resposta) {
            if (resposta.Falhou()) {
                Mensagens().MostraErroPadrao(resposta.Erro);
                return;
            }
            const QStringList* naoLidos = &resposta.Dados.NaoLidos;
            DefineRodape(TServicoEncerrantes::TextoLeitura(*naoLidos));
            // The marks stay as the operator left them: they say what "&OK" records, and the
            // unread nozzles can be asked again.
            if (!naoLidos->isEmpty())
                Informa(TServicoEncerrantes::MensagemNaoLidos(*naoLidos), TTipoMensagem::Erro);
        });
}

void TFTirarEncerrantes::BtOkClick()
{
    const QList<TLinhaEncerrante> linhas = LeGrade();
    FTrabalho.Executa<TResultadoGravacao>(
        [this, linhas](auto fim) {
            FTrabalho.Operacoes().GravaEncerrantes(
                this, FTrabalho.Usuario(), linhas, [this](const QString& status) { DefineRodape(status); },
                std::move(fim));
        },
        [this](const TRespostaOperacao<TResultadoGravacao>& resposta) {
            const QString& erro = resposta.Erro;
            auto resultado = std::make_shared<TResultadoGravacao>(resposta.Dados);
            if (!erro.isEmpty())
                resultado->Mensagens << QStringLiteral("Erro ao gravar as informações no banco de dados.\r") + erro;
            const bool falhou = resultado->Falhou || !erro.isEmpty();
            for (const QString& mensagem : resultado->Mensagens)
                Informa(mensagem, falhou ? TTipoMensagem::Erro : TTipoMensagem::Informacao);
            // Done only once every marked reading is stored; otherwise the dialog stays open with
            // its readings, for another try.
            if (resultado->Encerra && erro.isEmpty())
                close();
        });
}

void TFTirarEncerrantes::BtCancelarClick()
{
    close();
}
