#pragma once
// The real message boxes behind the engine's TMensagens.
// - Called on the window's thread (the dialogs), a box is modal and the call waits for it.
// - Called from the engine's thread, nothing waits for a box: an error, information or warning is
//   posted to the window and the call returns at once; a question is posted too, and only the
//   engine waits, for the answer that comes back queued, while the window stays live.
// Of what the engine posts, at most one box of a kind is open at a time: a second message of the
// same kind while one is open is added to that box, under the earlier ones (the same text is not
// repeated, the latest kMaximoTextos are kept), so nothing piles up and nothing is hidden.
// Every box shows its text as plain text (a server's message is never read as markup) and stays
// within the screen: a text too long for it scrolls inside the box, the buttons stay in view.
#include "Mensagens.h"

#include <QList>
#include <QPointer>
#include <QStringList>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class QMessageBox;

class TCaixaMensagem : public TMensagens {
public:
    TCaixaMensagem();
    ~TCaixaMensagem() override;

    TResposta MostraMensagem(TTipoMensagem tipo, const QString& texto, TBotoes botoes = TBotoes::Ok) override;
    // Once the program is being stopped, no box is shown any more: each call gives the cautious
    // answer at once, and so does a question the engine is waiting on.
    void Suprime() override;
    // The engine's boxes already up, or posted and not yet up, stay until answered; `depois` runs
    // once the last of them is closed.
    void Encerra(std::function<void()> depois) override;

    // The open box of the engine's messages of this kind; null when none is open. Window's thread.
    QMessageBox* CaixaAberta(TTipoMensagem tipo) const;
    static constexpr int kMaximoTextos = 10;

private:
    struct TPergunta;
    TResposta Pergunta(TTipoMensagem tipo, const QString& texto, TBotoes botoes);
    // Window's thread.
    void AbrePergunta(const std::shared_ptr<TPergunta>& pergunta, TTipoMensagem tipo, const QString& texto);
    void Acrescenta(TTipoMensagem tipo, const QString& texto);
    void ConfereFim();

    std::atomic<bool> FSuprimidas{false};
    std::atomic<bool> FEncerrando{false}; // questions get the cautious answer, boxes stay
    std::function<void()> FDepois;        // window's thread
    std::mutex FMutex; // guards FPerguntas
    QList<std::shared_ptr<TPergunta>> FPerguntas;
    std::array<QPointer<QMessageBox>, 4> FAbertas;
    QList<QPointer<QMessageBox>> FCaixasPergunta; // the engine's questions on screen
    std::array<QStringList, 4> FTextos;
};
