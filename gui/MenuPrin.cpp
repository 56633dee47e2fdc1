#include "MenuPrin.h"

#include "AlteraPreco.h"
#include "BloqueiaBico.h"
#include "CapturaAbastecimento.h"
#include "ConfiguraTempoLeAbastecimento.h"
#include "Erro.h"
#include "FonteDialogo.h"
#include "ServicoRelogio.h"
#include "TirarEncerrantes.h"
#include "TravaInstancia.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kTituloInicial = QStringLiteral("Comunicação com o Concentrador CompanyTec v15.11dc");

QFont FonteLog(bool negrito)
{
    // The columns line up by character: Courier New, or any fixed-pitch face standing in for it.
    QFont fonte(QStringLiteral("Courier New"), 8, negrito ? QFont::Bold : QFont::Normal);
    fonte.setStyleHint(QFont::Monospace, QFont::PreferMatch);
    fonte.setFixedPitch(true);
    return fonte;
}

QString CorTexto(const QColor& fundo)
{
    return QStringLiteral("QPlainTextEdit { color: white; background-color: %1; }").arg(fundo.name());
}

} // namespace

TMenuPrin::TMenuPrin(TLinkor& linkor, QWidget* parent) : QMainWindow(parent), FLinkor(linkor), FMotor(linkor)
{
    CriaComponentes();
    LigaMotor();
    FMotor.IniciaThread();
    FormCreate();
}

TMenuPrin::~TMenuPrin() = default;

QToolButton* TMenuPrin::CriaBotao(const QString& nome, const QString& titulo, int icone,
                                  void (TMenuPrin::*clique)())
{
    auto* botao = new QToolButton(ToolBar1);
    botao->setObjectName(nome);
    botao->setText(titulo);
    botao->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(icone)));
    botao->setIconSize(QSize(24, 24));
    botao->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    // Six buttons of 100 would not fit the 591-pixel client area; 96 keeps all of them in view.
    botao->setFixedSize(96, 55);
    botao->setAutoRaise(true);
    botao->setFont(font()); // the platform theme gives tool buttons a font of their own
    connect(botao, &QToolButton::clicked, this, [this, clique] { Protegido([&] { (this->*clique)(); }); });
    ToolBar1->addWidget(botao);
    return botao;
}

void TMenuPrin::CriaComponentes()
{
    setWindowTitle(kTituloInicial);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFont(FonteMsSansSerif());
    const QColor corJanela(116, 107, 90);
    QPalette paleta = palette();
    paleta.setColor(QPalette::Window, corJanela);
    setPalette(paleta);
    setAutoFillBackground(true);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setFixedHeight(60);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    ToolBar1->setStyleSheet(QStringLiteral("QToolBar { spacing: 0px; padding: 0px; border: 0px; }"));
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    SpEncerrantes = CriaBotao(QStringLiteral("SpEncerrantes"), QStringLiteral("&Capturar Enc."),
                              QStyle::SP_FileDialogDetailedView, &TMenuPrin::SpEncerrantesClick);
    SpAlteraPreco = CriaBotao(QStringLiteral("SpAlteraPreco"), QStringLiteral("&Altera Preços"),
                              QStyle::SP_FileDialogContentsView, &TMenuPrin::SpAlteraPrecoClick);
    SpeedButton2 = CriaBotao(QStringLiteral("SpeedButton2"), QStringLiteral("&Data/Hora"),
                             QStyle::SP_BrowserReload, &TMenuPrin::SpeedButton2Click);
    SpeedButton3 = CriaBotao(QStringLiteral("SpeedButton3"), QStringLiteral("&Bloq./Desb. Bico"),
                             QStyle::SP_BrowserStop, &TMenuPrin::SpeedButton3Click);
    SpeedButton1 = CriaBotao(QStringLiteral("SpeedButton1"), QStringLiteral("&Capturar Abast."),
                             QStyle::SP_ArrowDown, &TMenuPrin::btnCapAbastClick);
    btnConfTempoBusca = CriaBotao(QStringLiteral("btnConfTempoBusca"), QStringLiteral("&Tempo de busca"),
                                  QStyle::SP_FileDialogInfoView, &TMenuPrin::btnConfTempoBuscaClick);

    auto* centro = new QWidget(this);
    auto* layout = new QVBoxLayout(centro);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    CabecalhoLog = new QPlainTextEdit(centro);
    CabecalhoLog->setObjectName(QStringLiteral("CabecalhoLog"));
    CabecalhoLog->setReadOnly(true);
    CabecalhoLog->setEnabled(false);
    CabecalhoLog->setFixedHeight(52);
    CabecalhoLog->setFont(FonteLog(true));
    CabecalhoLog->setFrameShape(QFrame::NoFrame);
    CabecalhoLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    CabecalhoLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    CabecalhoLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    CabecalhoLog->setStyleSheet(CorTexto(corJanela));
    VisualizaLog = new QPlainTextEdit(centro);
    VisualizaLog->setObjectName(QStringLiteral("VisualizaLog"));
    VisualizaLog->setReadOnly(true);
    VisualizaLog->setFont(FonteLog(false));
    VisualizaLog->setFrameShape(QFrame::NoFrame);
    VisualizaLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    VisualizaLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    VisualizaLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    VisualizaLog->setStyleSheet(CorTexto(QColor(152, 143, 124)));
    connect(VisualizaLog, &QPlainTextEdit::textChanged, this, &TMenuPrin::VisualizaLogChange);
    SegueFimDoLog();
    layout->addWidget(CabecalhoLog);
    layout->addWidget(VisualizaLog, 1);
    setCentralWidget(centro);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(19);
    StatusBar1->setSizeGripEnabled(false);
    FStatus = kProcurandoAbastecimentos;
    FPainel0 = new QLabel(FStatus, StatusBar1);
    FPainel0->setFixedWidth(250);
    FPainel0->setFont(font());
    FPainel1 = new QLabel(StatusBar1);
    FPainel1->setFont(font());
    FPainel1->setMinimumWidth(50);
    StatusBar1->addWidget(FPainel0);
    StatusBar1->addWidget(FPainel1, 1);
    setStatusBar(StatusBar1);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Abrir1 = PopupMenu1->addAction(QStringLiteral("&Abrir"), this, &TMenuPrin::MostraJanela);
    Abrir1->setObjectName(QStringLiteral("Abrir1"));
    Sair1 = PopupMenu1->addAction(QStringLiteral("&Sair"), this, [this] { close(); });
    Sair1->setObjectName(QStringLiteral("Sair1"));
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        CoolTrayIcon1 = new QSystemTrayIcon(style()->standardIcon(QStyle::SP_DriveNetIcon), this);
        CoolTrayIcon1->setObjectName(QStringLiteral("CoolTrayIcon1"));
        CoolTrayIcon1->setContextMenu(PopupMenu1);
        connect(CoolTrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason motivo) {
            if (motivo == QSystemTrayIcon::DoubleClick)
                MostraJanela();
        });
        CoolTrayIcon1->show();
    }
    setWindowIcon(style()->standardIcon(QStyle::SP_DriveNetIcon));

    // Client area 591 x 447, fixed border.
    setFixedSize(591, 447);
    move(201, 111);
}

void TMenuPrin::LigaMotor()
{
    TCicloLeitura& ciclo = FLinkor.Ciclo();
    connect(&ciclo, &TCicloLeitura::CabecalhoLogDefinido, this,
            [this](const QStringList& linhas) { CabecalhoLog->setPlainText(linhas.join('\n')); });
    connect(&ciclo, &TCicloLeitura::LogRecarregado, this, [this](const QStringList& linhas) {
        // The reload opens at the last line; the new text first scrolls back to the top.
        VisualizaLog->setPlainText(linhas.join('\n'));
        VisualizaLog->verticalScrollBar()->setValue(VisualizaLog->verticalScrollBar()->maximum());
        FSegueFimLog = true;
    });
    connect(&ciclo, &TCicloLeitura::LinhaLogEscrita, VisualizaLog, &QPlainTextEdit::appendPlainText);
    connect(&ciclo, &TCicloLeitura::LinhaLogEscrita, this, [this] {
        FEstado.AbastecimentoGravado();
        if (CoolTrayIcon1)
            CoolTrayIcon1->setToolTip(DicaBandeja());
    });
    connect(&ciclo, &TCicloLeitura::TextoStatusAlterado, this, &TMenuPrin::MostraStatus);
    connect(&ciclo, &TCicloLeitura::AtencaoSolicitada, this, &TMenuPrin::MostraJanela);
    connect(&ciclo, &TCicloLeitura::AvisoAlterado, this, &TMenuPrin::MostraAviso);
}

void TMenuPrin::SegueFimDoLog()
{
    QScrollBar* barra = VisualizaLog->verticalScrollBar();
    connect(barra, &QScrollBar::valueChanged, this, [this, barra](int valor) { FSegueFimLog = valor >= barra->maximum(); });
    connect(barra, &QScrollBar::rangeChanged, this, [this, barra](int, int maximo) {
        if (FSegueFimLog)
            barra->setValue(maximo);
    });
}

void TMenuPrin::MostraStatus(const QString& texto)
{
    FStatus = texto;
    AtualizaPainel0();
}

QString TMenuPrin::DicaBandeja() const
{
    const QString dica = FAviso.isEmpty() ? FDicaBandeja : FAviso;
    return FEstado.AlgumGravado() ? dica + QLatin1Char('\n') + FEstado.Resumo() : dica;
}

void TMenuPrin::AtualizaPainel0()
{
    // The cycle's own words when it says what is wrong; while it only shows that polling is alive,
    // what the engine reports as wrong (a silent concentrator, say) stands there instead.
    const bool animacao = FStatus.startsWith(kProcurandoAbastecimentos);
    if (FAviso.isEmpty() || !animacao) {
        // The panel keeps its width of 250 but grows for a status that needs more (the counts of
        // fuelings waiting or held), so no word is cut; the fueling count takes what is left.
        FPainel0->setFixedWidth(qMax(250, FPainel0->fontMetrics().horizontalAdvance(FStatus) + 2));
        FPainel0->setText(FStatus);
    } else {
        FPainel0->setFixedWidth(250);
        const QString linha = QLatin1Char(' ') + FAviso.section(QLatin1Char('\n'), 0, 0);
        FPainel0->setText(FPainel0->fontMetrics().elidedText(linha, Qt::ElideRight, FPainel0->width() - 4));
    }
    FPainel0->setToolTip(FAviso);
}

void TMenuPrin::MostraAviso(const QString& aviso)
{
    // The kinds of fault in the report, one paragraph each: a kind that was not going on before
    // brings the notice back, even when the operator closed it during another fault.
    QStringList falhas;
    for (const QString& paragrafo : aviso.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QString tipo = QStringLiteral("banco");
        if (paragrafo.startsWith(QLatin1String("O concentrador não responde")))
            tipo = QStringLiteral("concentrador");
        else if (paragrafo.startsWith(QLatin1String("Os arquivos de log")))
            tipo = QStringLiteral("log");
        else if (!falhas.isEmpty() && falhas.last() == tipo)
            continue;
        if (!falhas.contains(tipo))
            falhas << tipo;
    }
    bool novo = false;
    for (const QString& tipo : std::as_const(falhas))
        novo = novo || !FFalhas.contains(tipo);
    const bool mudouEstado = falhas.isEmpty() != FFalhas.isEmpty();
    FFalhas = falhas;
    FAviso = aviso;
    AtualizaPainel0();
    if (CoolTrayIcon1) {
        CoolTrayIcon1->setToolTip(DicaBandeja());
        if (mudouEstado)
            CoolTrayIcon1->setIcon(style()->standardIcon(EmFalha() ? QStyle::SP_MessageBoxWarning
                                                                    : QStyle::SP_DriveNetIcon));
    }
    if (aviso.isEmpty()) {
        // All is well again: the notice goes by itself.
        if (FCaixaAviso)
            FCaixaAviso->close();
        return;
    }
    // One notice per outage, never modal: polling goes on underneath it.
    if (!FCaixaAviso) {
        FCaixaAviso = new QMessageBox(QMessageBox::Warning, QStringLiteral("Alerta"), QString(), QMessageBox::Ok, this);
        FCaixaAviso->setObjectName(QStringLiteral("CaixaAviso"));
        FCaixaAviso->setWindowModality(Qt::NonModal);
        FCaixaAviso->setTextFormat(Qt::PlainText);
        FCaixaAviso->button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    }
    FCaixaAviso->setText(aviso);
    if (novo)
        FCaixaAviso->show();
}

// What the start-up job hands back to the window.
struct TMenuPrin::TPartida {
    bool FimSolicitado = false;
    bool OutraInstancia = false; // the station's log belongs to the Linkor already running there
};

void TMenuPrin::FormCreate()
{
    // The version first, so the caption carries it even when the window is opened during the
    // start-up's wait for the database.
    FVersao = TLinkor::kVersao;
    VisualizaLog->clear();
    ToolBar1->setEnabled(false); // the operator's functions need a started engine
    auto partida = std::make_shared<TPartida>();
    FMotor.Executa(
        this,
        [partida](TLinkor& linkor, const TRetorno&) {
            try {
                linkor.Inicia();
            } catch (const EOutraInstancia&) {
                partida->OutraInstancia = true;
                throw;
            }
            partida->FimSolicitado = linkor.FimSolicitado();
        },
        [this, partida](const QString& erro) { ConcluiPartida(*partida, erro); });
}

void TMenuPrin::GravaLogErroSemMotor(const TContexto& contexto, const QString& mensagem)
{
    TLogArquivo().Acrescenta(contexto.Relogio().PastaExecutavel() + QStringLiteral("LogErroConcentrador"),
                             MontaLinhaErro(contexto.Relogio().Agora(), mensagem, contexto.Regional()));
}

void TMenuPrin::ConcluiPartida(const TPartida& partida, const QString& erro)
{
    TMensagens& mensagens = FLinkor.Contexto().Mensagens();
    if (!erro.isEmpty()) {
        // The failure path: the box, then the error log's line, then the close. A box start-up
        // raised before is answered first, so only one is open at a time.
        FFimSolicitado = true;
        if (FEncerrando) { // stopped meanwhile (a stop signal): nobody to show it to, the line still
            try {
                if (!partida.OutraInstancia)
                    GravaLogErroSemMotor(FLinkor.Contexto(), QStringLiteral("Erro na inicialização: ") + erro);
            } catch (const std::exception&) {
                // nowhere left to say it
            }
            return;
        }
        mensagens.Encerra([this, &mensagens, erro, outra = partida.OutraInstancia] {
            mensagens.MostraMensagem(TTipoMensagem::Erro, erro);
            if (outra) {
                close();
                return;
            }
            // Written here, not by the engine: it may be stopping already (a stop signal during
            // start-up), and a failed start-up leaves it idle.
            try {
                GravaLogErroSemMotor(FLinkor.Contexto(), QStringLiteral("Erro na inicialização: ") + erro);
            } catch (const std::exception& falhaLog) { // the operator also learns the log is unwritable
                mensagens.MostraMensagem(TTipoMensagem::Erro, MensagemDe(falhaLog));
            }
            close();
        });
        return;
    }
    FIniciado = true;
    ToolBar1->setEnabled(true);
    emit PartidaConcluida();
    if (partida.FimSolicitado) { // a station without a concentrator: told so, the program ends
        FFimSolicitado = true;
        close();
    }
}

void TMenuPrin::ExibeInicial()
{
    // Demonstrations and screenshots want the window open from the start.
    if (qEnvironmentVariableIntValue("LINKOR_JANELA_ABERTA") == 1) {
        MostraJanela();
        return;
    }
    if (CoolTrayIcon1)
        return; // only the tray icon is visible
    showMinimized();
}

void TMenuPrin::MostraJanela()
{
    showNormal();
    raise();
    activateWindow();
}

void TMenuPrin::showEvent(QShowEvent* evento)
{
    QMainWindow::showEvent(evento);
    if (!evento->spontaneous())
        FormShow();
}

void TMenuPrin::FormShow()
{
    FDicaBandeja = windowTitle();
    if (CoolTrayIcon1)
        CoolTrayIcon1->setToolTip(DicaBandeja());
    setWindowTitle(QStringLiteral("Tankora for Windows - Comunicador CompanyTec ") + FVersao);
}

void TMenuPrin::changeEvent(QEvent* evento)
{
    QMainWindow::changeEvent(evento);
    // Minimise-to-tray: the window and its task-bar entry go away while the tray icon stays.
    if (evento->type() == QEvent::WindowStateChange && isMinimized() && CoolTrayIcon1)
        QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
}

void TMenuPrin::EscondeNaBandeja()
{
    if (CoolTrayIcon1)
        hide();
    else
        showMinimized();
}

void TMenuPrin::closeEvent(QCloseEvent* evento)
{
    // The window manager's close box only takes the window out of sight; "&Sair", a stop signal,
    // a failed start-up and the clock set close it from inside the program, and those end it.
    if (evento->spontaneous() && !FEncerrando) {
        evento->ignore();
        EscondeNaBandeja();
        return;
    }
    evento->accept();
    if (FEncerrando)
        return;
    FEncerrando = true;
    // A question the engine waits on gets its cautious answer, so the engine can stop.
    TMensagens& mensagens = FLinkor.Contexto().Mensagens();
    mensagens.Encerra({});
    // FormClose runs on the engine's thread once its current tick or job is over. An engine stuck
    // in the database or on the line is left behind, acknowledging nothing (main ends the process).
    FMotor.Para(kEsperaMotorMs);
    // A box still unanswered (or posted by the engine on its way out) keeps the program until the
    // operator has read it.
    mensagens.Encerra([] { QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection); });
}

QString TMenuPrin::TextoPainel(int painel) const
{
    return painel == 0 ? FPainel0->text() : FPainel1->text();
}

void TMenuPrin::VisualizaLogChange()
{
    const int linhas = VisualizaLog->document()->isEmpty() ? 0 : VisualizaLog->document()->blockCount();
    FPainel1->setText(QStringLiteral("Total de Abastecimentos: ") + QString::number(linhas));
}

template <typename F>
void TMenuPrin::Protegido(F&& trabalho)
{
    try {
        trabalho();
    } catch (const std::exception& e) {
        FLinkor.Contexto().MostraErroPadrao(MensagemDe(e));
    }
}

void TMenuPrin::SpEncerrantesClick()
{
    // One totalizer dialog at a time; it frees itself and clears the reference when it closes. Its
    // steps run as jobs between the engine's ticks.
    if (!TFTirarEncerrantes::FTirarEncerrantes)
        TFTirarEncerrantes::FTirarEncerrantes = new TFTirarEncerrantes(FLinkor.Contexto(), FOperacoes, this);
    TFTirarEncerrantes::FTirarEncerrantes->exec();
}

void TMenuPrin::SpAlteraPrecoClick()
{
    // One price dialog at a time; it frees itself and clears the reference when it closes.
    if (!TFAlteraPreco::FAlteraPreco)
        TFAlteraPreco::FAlteraPreco = new TFAlteraPreco(FLinkor.Contexto(), FOperacoes, this);
    TFAlteraPreco::FAlteraPreco->exec();
}

void TMenuPrin::SpeedButton2Click()
{
    // The question is asked here; the engine only sends the command. A clock set closes the
    // window and the program starts again by itself (main), so polling resumes; an error leaves
    // the window open and polling.
    TMensagens& mensagens = FLinkor.Contexto().Mensagens();
    if (mensagens.MostraMensagem(TTipoMensagem::Confirmacao, TServicoRelogio(FLinkor.Contexto()).TextoConfirmacao(),
                                 TBotoes::SimNao)
        != TResposta::Sim)
        return;
    FOperacoes.AcertaRelogio(
        this, TOperacoesPosto::UsuarioLocal(), [this, &mensagens](const TRespostaOperacao<TResultadoRelogio>& resposta) {
            if (resposta.Falhou()) {
                mensagens.MostraErroPadrao(resposta.Erro);
                return;
            }
            mensagens.MostraMensagem(TTipoMensagem::Informacao, TServicoRelogio::MensagemSucesso());
            FReinicio = true;
            close();
        });
}

void TMenuPrin::SpeedButton3Click()
{
    // Created for this opening and freed when it ends.
    TFBloqDesbBico dialogo(FOperacoes, FLinkor.Contexto().Mensagens(), this);
    dialogo.Executa();
}

// Transient dialogs: one per opening, freed when it closes.
void TMenuPrin::btnCapAbastClick()
{
    TFCapturaAbast dialogo(FOperacoes, FLinkor.Contexto().Mensagens(), FLinkor.Contexto().Regional(), this);
    dialogo.Executa();
}

void TMenuPrin::btnConfTempoBuscaClick()
{
    TFconfiguraTempoLeAbastecimento dialogo(FOperacoes, FLinkor.Contexto().Mensagens(),
                                           FLinkor.Contexto().Regional(), this);
    dialogo.Executa();
}
