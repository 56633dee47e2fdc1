#include "CaixaMensagem.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
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
    QMessageBox caixa(IconeDe(tipo), TituloMensagem(tipo), TextoDaCaixa(texto), QMessageBox::NoButton,
                      QApplication::activeWindow());
    const TCaixa botoesDaCaixa(&caixa, botoes);
    caixa.exec();
    return botoesDaCaixa.Resposta(botoes);
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
        caixa = new QMessageBox(IconeDe(tipo), TituloMensagem(tipo), QString(), QMessageBox::NoButton, nullptr);
        caixa->setAttribute(Qt::WA_DeleteOnClose);
        // Polling goes on underneath it: the window stays usable.
        caixa->setWindowModality(Qt::NonModal);
        TCaixa(caixa, TBotoes::Ok);
    }
    if (const QString linhas = TextoDaCaixa(texto); !textos.contains(linhas)) {
        textos << linhas;
        while (textos.size() > kMaximoTextos)
            textos.removeFirst();
        caixa->setText(textos.join(QStringLiteral("\n\n")));
    }
    caixa->show();
    caixa->raise();
}

TResposta TCaixaMensagem::Pergunta(TTipoMensagem tipo, const QString& texto, TBotoes botoes)
{
    auto pergunta = std::make_shared<TPergunta>(botoes);
    {
        const std::lock_guard trava(FMutex);
        if (FSuprimidas)
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
    auto* caixa = new QMessageBox(IconeDe(tipo), TituloMensagem(tipo), TextoDaCaixa(texto), QMessageBox::NoButton, nullptr);
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

QMessageBox* TCaixaMensagem::CaixaAberta(TTipoMensagem tipo) const
{
    return FAbertas[static_cast<std::size_t>(tipo)];
}
