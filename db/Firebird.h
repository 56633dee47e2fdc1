#pragma once
// The process's one entry into the Firebird client: master interface, provider, utilities, and the
// conversion of the client's errors into EErro carrying the server's own text.
#include "Conexao.h"
#include "Vigia.h"

#include <firebird/Interface.h>

#include <QByteArray>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <QSet>
#include <QString>

namespace Firebird {
class FbException;
}

// Loads the client once per process; sets up the embedded engine's environment first.
Firebird::IMaster* MestreFirebird();
Firebird::IProvider* ProvedorFirebird();
Firebird::IUtil* UtilFirebird();

// The server's message text of a failed call.
QString MensagemFirebird(const Firebird::FbException& erro);
// What kind of failure it was, from the error codes the server sent.
TNaturezaErroBanco NaturezaFirebird(const Firebird::FbException& erro);

// A status object for one call chain; failures throw Firebird::FbException.
class TStatusFirebird : public Firebird::ThrowStatusWrapper {
public:
    TStatusFirebird() : Firebird::ThrowStatusWrapper(MestreFirebird()->getStatus()) {}
    ~TStatusFirebird() { dispose(); }
    TStatusFirebird(const TStatusFirebird&) = delete;
    TStatusFirebird& operator=(const TStatusFirebird&) = delete;
};

// Lets go of a client object, if any.
template <typename T>
void Solta(T*& objeto)
{
    if (objeto)
        objeto->release();
    objeto = nullptr;
}

// Character set id the client exchanges text in (lc_ctype UTF8).
constexpr unsigned CharsetUtf8 = 4;

// One attach, run on a thread of its own so that the caller can give it up: the client library
// waits on a server that accepted the connection and never answers, with no time-out of its own.
// Whoever finishes last decides: an attach that comes back after it was given up detaches the
// attachment itself, so nothing can act on it later.
struct TTentativaAnexo {
    std::mutex Trava;
    std::condition_variable Sinal;
    bool Pronta = false;
    bool Abandonada = false;
    bool Cancelada = false; // asked for by another thread (TConexao::Cancela)
    Firebird::IAttachment* Anexo = nullptr;
    QString Mensagem; // the server's message of a failure
    TNaturezaErroBanco Natureza = TNaturezaErroBanco::Conexao;
};

struct TConexao::TImplementacao {
    QVector<std::pair<QString, QString>> Parametros; // in order, names as written first
    Firebird::IAttachment* Anexo = nullptr;
    // The server's transaction of the open write sequence; begun by its first write.
    Firebird::ITransaction* Transacao = nullptr;
    // Write sequences on the open transaction: the first began it and alone ends it; the others
    // joined it. 0: none open.
    int Nivel = 0;
    quint64 NumeroTransacao = 0;
    QSet<TConsulta*> Consultas; // attached statements
    TConfiguracaoRegional Regional;
    bool Perdida = false;
    int LimiteConexaoSegundos = TConexao::kLimiteConexaoSegundos;
    TVigia Vigia;
    // The attach under way, for Cancela from another thread.
    std::mutex TravaTentativa;
    std::shared_ptr<TTentativaAnexo> Tentativa;

    // The error to raise for a failed call; a lost connection is remembered.
    EErroBanco Falha(const Firebird::FbException& erro);

    qsizetype Indice(const QString& nome) const;
    // The attach, bounded by the operation limit and by Cancela; raises EErroBanco.
    Firebird::IAttachment* Anexa(const QByteArray& banco, const QByteArray& parametros);
    // A new read committed transaction the caller must end.
    Firebird::ITransaction* IniciaTransacaoFirebird(bool somenteLeitura);
    // Ends a transaction on an error path: rolled back, or at least let go. The original error is
    // the one reported, so a failure here is not raised on top of it.
    void AbandonaTransacao(Firebird::ITransaction*& transacao);
};
