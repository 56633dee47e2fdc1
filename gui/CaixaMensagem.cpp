#include "CaixaMensagem.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QThread>

#include <condition_variable>
#include <optional>

namespace {
QMessageBox::Icon IconeDe(TTipoMensagem tipo)
{
    switch (tipo) {
    case TTipoMensagem::Erro:
        return QMessageBox::Critical;
    case TTipoMensagem::Informacao:
        return QMessageBox::Information;
    case TTipoMensagem::Alerta:
        return QMessageBox::Warning;
    case TTipoMensagem::Confirmacao:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QString TextoDaCaixa(const QString& texto)
{
    return QString(texto).replace('\r', '\n');
}

// A text taller than half the screen goes into a scroll area inside the box, so the box (and its
// buttons) stay on screen whatever the database or the driver had to say.
void LimitaTamanho(QMessageBox* caixa)
{
    auto* rotulo = caixa->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    auto* grade = qobject_cast<QGridLayout*>(caixa->layout());
    if (!rotulo || !grade)
        return;
    const QScreen* tela = caixa->screen() ? caixa->screen() : QGuiApplication::primaryScreen();
    if (!tela)
        return;
    const QRect area = tela->availableGeometry();
    const int largura = qMin(area.width() / 2, 500);
    const int alturaMaxima = area.height() / 2;
    rotulo->setWordWrap(true);
    const int altura = rotulo->heightForWidth(largura);
    auto* rolagem = caixa->findChild<QScrollArea*>(QStringLiteral("AreaTexto"));
    if (!rolagem) {
        if (altura <= alturaMaxima)
            return;
        int linha = 0, coluna = 0, linhas = 1, colunas = 1;
        grade->getItemPosition(grade->indexOf(rotulo), &linha, &coluna, &linhas, &colunas);
        grade->removeWidget(rotulo);
        rolagem = new QScrollArea(caixa);
        rolagem->setObjectName(QStringLiteral("AreaTexto"));
        rolagem->setFrameShape(QFrame::NoFrame);
        rolagem->setWidgetResizable(true);
        rolagem->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        rolagem->setWidget(rotulo);
        grade->addWidget(rolagem, linha, coluna, linhas, colunas);
    }
    rolagem->setMinimumWidth(largura + rolagem->verticalScrollBar()->sizeHint().width());
    rolagem->setFixedHeight(qMin(altura, alturaMaxima));
}

// Plain text always; the size bounded. Set twice so that the box measures itself with the bound.
void DefineTexto(QMessageBox* caixa, const QString& texto)
{
    caixa->setTextFormat(Qt::PlainText);
    caixa->setText(texto);
    LimitaTamanho(caixa);
    caixa->setText(texto);
}

QMessageBox* NovaCaixa(TTipoMensagem tipo, const QString& texto, QWidget* dono)
{
    auto* caixa = new QMessageBox(IconeDe(tipo), TituloMensagem(tipo), QString(), QMessageBox::NoButton, dono);
    DefineTexto(caixa, texto);
    return caixa;
}

// The window a modal box belongs to: the active one, unless that is one of the boxes, which go
// away by themselves (a box owned by one would be freed with it while still waiting for its answer).
QWidget* DonoDaCaixa()
{
    QWidget* janela = QApplication::activeWindow();
    while (janela && (qobject_cast<QMessageBox*>(janela) || janela->testAttribute(Qt::WA_DeleteOnClose)))
        janela = janela->parentWidget() ? janela->parentWidget()->window() : nullptr;
    return janela;
}

// A box with the buttons of `botoes`; the first one is the default, the second the escape.
struct TCaixa {
    QMessageBox* Caixa;
    QPushButton* Primeiro = nullptr;
    QPushButton* Segundo = nullptr;

    TCaixa(QMessageBox* caixa, TBotoes botoes) : Caixa(caixa)
    {
        switch (botoes) {
        case TBotoes::Ok:
            Primeiro = caixa->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
            break;
        case TBotoes::OkCancelar:
            Primeiro = caixa->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
            Segundo = caixa->addButton(QStringLiteral("Cancelar"), QMessageBox::RejectRole);
            break;
        case TBotoes::SimNao:
            Primeiro = caixa->addButton(QStringLiteral("&Sim"), QMessageBox::YesRole);
            Segundo = caixa->addButton(QStringLiteral("&Não"), QMessageBox::NoRole);
            break;
        }
        caixa->setDefaultButton(Primeiro);
        if (Segundo)
            caixa->setEscapeButton(Segundo);
    }

    // What the operator chose; closing the box counts as the second button.
    TResposta Resposta(TBotoes botoes) const
    {
        const bool escolheuPrimeiro = Caixa->clickedButton() == Primeiro || !Segundo;
        return escolheuPrimeiro ? (botoes == TBotoes::SimNao ? TResposta::Sim : TResposta::Ok)
                                : RespostaCautelosa(botoes);
    }
};

bool NaThreadDaJanela()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}
} // namespace

// One question from the engine's thread; its box may outlive the boxes' object.
struct TCaixaMensagem::TPergunta {
    explicit TPergunta(TBotoes botoes) : Botoes(botoes) {}
    const TBotoes Botoes;

    // The first answer counts.
    void Responde(TResposta resposta)
    {
        const std::lock_guard trava(FMutex);
        if (!FResposta)
            FResposta = resposta;
        FRespondida.notify_all();
    }
    TResposta Espera()
    {
        std::unique_lock trava(FMutex);
        FRespondida.wait(trava, [this] { return FResposta.has_value(); });
        return *FResposta;
    }

private:
    std::mutex FMutex;
    std::condition_variable FRespondida;
    std::optional<TResposta> FResposta;
};

TCaixaMensagem::TCaixaMensagem() = default;
TCaixaMensagem::~TCaixaMensagem() = default;

TResposta TCaixaMensagem::MostraMensagem(TTipoMensagem tipo, const QString& texto, TBotoes botoes)
{
    if (FSuprimidas)
        return RespostaCautelosa(botoes);
    if (!NaThreadDaJanela()) {
        if (botoes != TBotoes::Ok)
            return Pergunta(tipo, texto, botoes);
        QMetaObject::invokeMethod(qApp, [this, tipo, texto] { Acrescenta(tipo, texto); }, Qt::QueuedConnection);
        return TResposta::Ok;
    }
    // On the heap and watched: should its window go away all the same, the answer is the cautious one.
    QPointer<QMessageBox> caixa = NovaCaixa(tipo, TextoDaCaixa(texto), DonoDaCaixa());
    const TCaixa botoesDaCaixa(caixa.data(), botoes);
    caixa->exec();
    if (!caixa)
        return RespostaCautelosa(botoes);
    const TResposta resposta = botoesDaCaixa.Resposta(botoes);
    delete caixa.data();
    return resposta;
}

void TCaixaMensagem::Acrescenta(TTipoMensagem tipo, const QString& texto)
{
    if (FSuprimidas)
        return;
    const auto indice = static_cast<std::size_t>(tipo);
    QPointer<QMessageBox>& caixa = FAbertas[indice];
    QStringList& textos = FTextos[indice];
    if (!caixa) {
        textos.clear();
        // A window of its own: the engine's news must not go away with whichever dialog was in
        // front when it came.
        caixa = NovaCaixa(tipo, QString(), nullptr);
        caixa->setAttribute(Qt::WA_DeleteOnClose);
        // On the way out the program ends once the last of them is answered.
        QObject::connect(caixa.data(), &QDialog::finished, caixa.data(), [this] {
            QMetaObject::invokeMethod(qApp, [this] { ConfereFim(); }, Qt::QueuedConnection);
        });
        // Polling goes on underneath it: the window stays usable.
        caixa->setWindowModality(Qt::NonModal);
        TCaixa(caixa, TBotoes::Ok);
    }
    if (const QString linhas = TextoDaCaixa(texto); !textos.contains(linhas)) {
        textos << linhas;
        while (textos.size() > kMaximoTextos)
            textos.removeFirst();
        DefineTexto(caixa, textos.join(QStringLiteral("\n\n")));
    }
    caixa->show();
    caixa->raise();
}

TResposta TCaixaMensagem::Pergunta(TTipoMensagem tipo, const QString& texto, TBotoes botoes)
{
    auto pergunta = std::make_shared<TPergunta>(botoes);
    {
        const std::lock_guard trava(FMutex);
        if (FSuprimidas || FEncerrando)
            return RespostaCautelosa(botoes);
        FPerguntas << pergunta;
    }
    QMetaObject::invokeMethod(
        qApp, [this, pergunta, tipo, texto] { AbrePergunta(pergunta, tipo, texto); }, Qt::QueuedConnection);
    const TResposta resposta = pergunta->Espera();
    const std::lock_guard trava(FMutex);
    FPerguntas.removeOne(pergunta);
    return resposta;
}

void TCaixaMensagem::AbrePergunta(const std::shared_ptr<TPergunta>& pergunta, TTipoMensagem tipo,
                                  const QString& texto)
{
    if (FSuprimidas) {
        pergunta->Responde(RespostaCautelosa(pergunta->Botoes));
        return;
    }
    if (FEncerrando) {
        pergunta->Responde(RespostaCautelosa(pergunta->Botoes));
        return;
    }
    auto* caixa = NovaCaixa(tipo, TextoDaCaixa(texto), nullptr);
    caixa->setAttribute(Qt::WA_DeleteOnClose);
    caixa->setWindowModality(Qt::ApplicationModal); // shown without a loop of its own
    const auto botoes = std::make_shared<TCaixa>(caixa, pergunta->Botoes);
    QObject::connect(caixa, &QMessageBox::finished, caixa,
                     [pergunta, botoes] { pergunta->Responde(botoes->Resposta(pergunta->Botoes)); });
    // A box that goes away unanswered (the program closing) gives the cautious answer.
    QObject::connect(caixa, &QObject::destroyed, caixa,
                     [pergunta] { pergunta->Responde(RespostaCautelosa(pergunta->Botoes)); });
    FCaixasPergunta.removeAll(nullptr);
    FCaixasPergunta << caixa;
    caixa->show();
}

void TCaixaMensagem::Suprime()
{
    FSuprimidas = true;
    {
        const std::lock_guard trava(FMutex);
        for (const auto& pergunta : FPerguntas)
            pergunta->Responde(RespostaCautelosa(pergunta->Botoes));
    }
    if (NaThreadDaJanela()) {
        for (const QPointer<QMessageBox>& caixa : FAbertas)
            if (caixa)
                caixa->close();
        for (const QPointer<QMessageBox>& caixa : std::as_const(FCaixasPergunta))
            if (caixa)
                caixa->close();
    }
}

void TCaixaMensagem::Encerra(std::function<void()> depois)
{
    {
        const std::lock_guard trava(FMutex);
        FEncerrando = true;
        for (const auto& pergunta : FPerguntas)
            pergunta->Responde(RespostaCautelosa(pergunta->Botoes));
    }
    for (const QPointer<QMessageBox>& caixa : std::as_const(FCaixasPergunta))
        if (caixa)
            caixa->close();
    FDepois = std::move(depois);
    // Queued: what the engine posted before it stopped comes up first.
    QMetaObject::invokeMethod(qApp, [this] { ConfereFim(); }, Qt::QueuedConnection);
}

void TCaixaMensagem::ConfereFim()
{
    if (!FDepois)
        return;
    for (const QPointer<QMessageBox>& caixa : FAbertas)
        if (caixa && caixa->isVisible())
            return;
    std::exchange(FDepois, {})();
}

QMessageBox* TCaixaMensagem::CaixaAberta(TTipoMensagem tipo) const
{
    return FAbertas[static_cast<std::size_t>(tipo)];
}
