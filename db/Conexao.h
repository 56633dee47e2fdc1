#pragma once
// The one database layer of the program: a connection with its parameter list and one transaction,
// and statements with named parameters whose rows are read by column name. Built on Firebird's
// C++ OO API; nothing else sits in between. Every call to the server is bounded: the TCP connect by
// kLimiteConexaoSegundos, the attach and anything else by the operation limit, past which the
// attach is given up (it runs on a thread of its own and detaches itself should it come back) or
// the attachment is aborted, and the call raises a connection error (the connection is then Perdida()).
#include "Erro.h"
#include "Regional.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <memory>

namespace Firebird {
class IStatement;
class ITransaction;
}

// Why the database refused a statement. Everything but a refusal of the row's own values is worth
// another attempt later: the connection may come back, a lock may be let go, the server may recover.
enum class TNaturezaErroBanco {
    Conexao,  // the connection is gone (server stopped, network down, attachment shut down)
    Bloqueio, // a lock conflict, a deadlock or a lock wait that timed out
    Recusa,   // the values themselves: a key, a constraint, a conversion, a trigger's exception
    Servidor, // any other error the server reports
};

class EErroBanco : public EErro {
public:
    EErroBanco(QString mensagem, TNaturezaErroBanco natureza, bool doServidor = false)
        : EErro(std::move(mensagem)), FNatureza(natureza), FDoServidor(doServidor)
    {
    }
    TNaturezaErroBanco Natureza() const noexcept { return FNatureza; }
    bool Transitorio() const noexcept { return FNatureza != TNaturezaErroBanco::Recusa; }
    // The message is the server's own text (English), not ours.
    bool DoServidor() const noexcept { return FDoServidor; }

private:
    TNaturezaErroBanco FNatureza;
    bool FDoServidor;
};

// A layer's Portuguese text followed by the error it passes on: the server's own message goes on
// a line of its own, so the operator reads our text first; any other follows directly.
QString TextoComCausa(const QString& prefixo, const std::exception& erro);
// What an operator reads of an error: the server's own text (English) never alone, but after the
// Portuguese sentence of what was being done; any other error's message as it is.
QString MensagemParaOperador(const QString& oQueSeFazia, const std::exception& erro);
// The same error with a layer's prefix (TextoComCausa): keeps its nature when it is a database error.
[[noreturn]] void RepassaComPrefixo(const QString& prefixo, const std::exception& erro);

class TConexao {
public:
    // A row lock held by another program is waited for this long, then the statement fails.
    static constexpr int kEsperaBloqueioSegundos = 3;
    // A server that accepts the connection and then does not answer is given up after this.
    static constexpr int kLimiteConexaoSegundos = 3;
    // No statement, commit or rollback takes longer than this (well above the lock wait).
    static constexpr int kLimiteOperacaoMilissegundos = 10000;

    TConexao();
    ~TConexao();
    TConexao(const TConexao&) = delete;
    TConexao& operator=(const TConexao&) = delete;

    // Parameter list, names matched without regard to case; an empty value removes the parameter.
    // Used: Database (a file path opens with the embedded engine; host:path or host/port:path
    // reaches a server), User_Name, Password, RoleName. SQL dialect 1 always.
    QString Parametro(const QString& nome) const;
    void DefineParametro(const QString& nome, const QString& valor);
    QStringList Parametros() const; // "Nome=Valor" lines in order

    // Raises EErroBanco with the server's message on failure; without a Database parameter it
    // refuses, attaching nothing.
    void Conecta();
    // Rolls back an open transaction and detaches; never raises.
    void Desconecta();
    bool Conectado() const;
    // A statement failed because the connection is gone; it stays so until Reconecta succeeds.
    bool Perdida() const;
    // Lets the dead attachment go and attaches again; raises EErroBanco when that fails.
    void Reconecta();
    // The limits above, for this connection.
    void DefineLimites(int conexaoSegundos, int operacaoMilissegundos);
    // Callable from any thread while the connection exists: gives up an attach under way and aborts
    // the attachment, so the operation under way on
    // the connection's own thread (a statement stuck on a server that stopped answering) returns
    // at once with a connection error, and so does every later one until Reconecta. Meant for a
    // program that must end while its engine is stuck in the database; nothing is committed by it
    // (an open transaction dies with the attachment).
    void Cancela() noexcept;

    // How texts bound to numbers are read and how numbers, dates and times read back as text.
    const TConfiguracaoRegional& Regional() const;
    void DefineRegional(const TConfiguracaoRegional& regional);

    // Read committed, record version, wait on locks for at most kEsperaBloqueioSegundos, write.
    // Never commit-retaining. Write sequences nest: IniciaTransacao begins the transaction when
    // none is open, or joins the open one; each sequence ends with exactly one Confirma, Desfaz or
    // Abandona, and only the one that began the transaction commits or rolls it back (a joined
    // sequence that ends just leaves). Prefer TGuardaTransacao, which pairs them by itself.
    bool EmTransacao() const;
    // Changes with every transaction begun: what was learnt inside one transaction holds while
    // EmTransacao() and this number stay the same.
    quint64 NumeroTransacao() const;
    void IniciaTransacao();
    void Confirma();
    void Desfaz();
    // Desfaz for clean-up paths whose own error is the one being reported: never raises; the
    // transaction it began is rolled back, or at least let go.
    void Abandona() noexcept;

    struct TImplementacao;
    TImplementacao& Implementacao() const;

private:
    std::unique_ptr<TImplementacao> F;
};

// One statement on a connection. A statement run while the connection has no transaction runs in
// one of its own, committed at once. Rows of a SELECT are fetched when it is opened and kept.
// The connection knows its statements: it frees their prepared form when it detaches and leaves
// them without a connection when it goes first.
class TConsulta : public QObject {
    Q_OBJECT
public:
    explicit TConsulta(TConexao* conexao = nullptr, QObject* dono = nullptr);
    ~TConsulta() override;

    TConexao* Conexao() const { return FConexao; }
    void DefineConexao(TConexao* conexao);

    // Sets the statement text (closes the statement and clears the parameters).
    void DefineSQL(const QString& sql);
    const QString& SQL() const { return FSQL; }

    // Named parameters (":PData" in the text is bound by "PData"), matched without regard to case.
    void DefineTexto(const QString& nome, const QString& valor);
    void DefineInteiro(const QString& nome, qint64 valor);
    void DefineDouble(const QString& nome, double valor);
    void DefineData(const QString& nome, const QDate& valor);
    void DefineNuloTexto(const QString& nome);

    // SELECT: runs it and fetches its rows; the first row becomes current.
    void Abre();
    void Fecha();
    bool Aberta() const { return FAberta; }
    bool Vazia() const { return FLinhas.isEmpty(); }
    bool Fim() const { return FLinha >= FLinhas.size(); }
    void Proximo() { ++FLinha; }
    int QuantidadeLinhas() const { return static_cast<int>(FLinhas.size()); }

    // Column of the current row by name or alias, without regard to case. A missing column raises
    // EErro. NULL reads as an empty text or zero.
    QVariant Campo(const QString& nome) const;
    QString CampoTexto(const QString& nome) const;
    qint64 CampoInteiro(const QString& nome) const;
    double CampoDouble(const QString& nome) const;
    bool CampoNulo(const QString& nome) const;

    // A statement without result rows; returns the number of rows it changed.
    int Executa();

    // The server's access plan of the statement (prepared now if it is not yet).
    QString Plano();

private:
    TConexao* FConexao;
    QString FSQL;
    QVector<std::pair<QString, QVariant>> FParametros; // name (upper case) -> value; QVariant(QMetaType::QString) null = NULL text
    QStringList FColunas;                               // upper case
    QVector<QVector<QVariant>> FLinhas;
    qsizetype FLinha = 0;
    bool FAberta = false;

    // The statement stays prepared between executions until its text or connection changes, or
    // the connection detaches.
    Firebird::IStatement* FComando = nullptr;
    struct TPreparo;
    std::unique_ptr<TPreparo> FPreparo;
    // The text with "?" for each ":Nome" and the names in order, worked out once per text.
    QByteArray FSqlTraduzido;
    QStringList FNomes;
    bool FTraduzido = false;
    friend class TConexao;

    qsizetype IndiceColuna(const QString& nome) const;
    const TConfiguracaoRegional& Regional() const;
    void Define(const QString& nome, const QVariant& valor);
    int RodaComando(bool buscaLinhas);
    void LiberaComando();
    void Traduz();
    void Prepara(Firebird::ITransaction* transacao);
    // Prepares and runs the statement; with buscaLinhas its rows are fetched into FLinhas.
};

// Attaches every statement owned by `dono` (its whole tree of children) to `conexao`.
void LigaConexao(QObject* dono, TConexao* conexao);
// The connection's IniciaTransacao, Confirma and Desfaz, for sequences not yet written with
// TGuardaTransacao: a joined sequence's Confirma or Desfaz ends nothing but its own part.
void IniciaTransacao(TConexao& conexao);
void ConfirmaTransacao(TConexao& conexao);
void DesfazTransacao(TConexao& conexao);

// The transaction of one write sequence, the one idiom for writing: opens one when none is active
// (and then owns it) or joins the active one. Confirma commits only a transaction it owns; unless
// confirmed, the transaction it owns is rolled back when it goes (that clean-up never raises). A
// guard that joined neither commits nor rolls back: the owner decides.
class TGuardaTransacao {
public:
    explicit TGuardaTransacao(TConexao& conexao);
    ~TGuardaTransacao();
    TGuardaTransacao(const TGuardaTransacao&) = delete;
    TGuardaTransacao& operator=(const TGuardaTransacao&) = delete;

    bool Propria() const { return FPropria; }
    // Commits the transaction when it is this guard's own; ends this guard's part either way.
    void Confirma();

private:
    TConexao& FConexao;
    bool FPropria;
    bool FAberta = false;
    quint64 FNumero = 0;

    bool Vigente() const;
};
