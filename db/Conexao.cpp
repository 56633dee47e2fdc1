#include "Conexao.h"

#include "Erro.h"
#include "Firebird.h"

#include <thread>

using namespace Firebird;

namespace {
QVector<std::pair<QString, QString>> ParametrosIniciais()
{
    return {
        {QStringLiteral("DriverName"), QStringLiteral("Interbase")},
        {QStringLiteral("RoleName"), QStringLiteral("RoleName")},
        {QStringLiteral("SQLDialect"), QStringLiteral("1")},
        {QStringLiteral("LocaleCode"), QStringLiteral("0000")},
        {QStringLiteral("BlobSize"), QStringLiteral("-1")},
        {QStringLiteral("CommitRetain"), QStringLiteral("False")},
        {QStringLiteral("WaitOnLocks"), QStringLiteral("True")},
        {QStringLiteral("Interbase TransIsolation"), QStringLiteral("ReadCommited")},
        {QStringLiteral("Trim Char"), QStringLiteral("False")},
    };
}
} // namespace

qsizetype TConexao::TImplementacao::Indice(const QString& nome) const
{
    for (qsizetype i = 0; i < Parametros.size(); ++i)
        if (Parametros[i].first.compare(nome, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

ITransaction* TConexao::TImplementacao::IniciaTransacaoFirebird(bool somenteLeitura)
{
    TChamadaVigiada vigiada(Vigia);
    TStatusFirebird st;
    IXpbBuilder* tpb = UtilFirebird()->getXpbBuilder(&st, IXpbBuilder::TPB, nullptr, 0);
    try {
        tpb->insertTag(&st, somenteLeitura ? isc_tpb_read : isc_tpb_write);
        tpb->insertTag(&st, isc_tpb_read_committed);
        tpb->insertTag(&st, isc_tpb_rec_version);
        tpb->insertTag(&st, isc_tpb_wait);
        // Another program holding a row must not freeze the program for ever.
        tpb->insertInt(&st, isc_tpb_lock_timeout, TConexao::kEsperaBloqueioSegundos);
        ITransaction* transacao = Anexo->startTransaction(&st, tpb->getBufferLength(&st), tpb->getBuffer(&st));
        tpb->dispose();
        return transacao;
    } catch (...) {
        tpb->dispose();
        throw;
    }
}

void TConexao::TImplementacao::AbandonaTransacao(ITransaction*& transacao)
{
    if (!transacao)
        return;
    TChamadaVigiada vigiada(Vigia);
    CheckStatusWrapper st(MestreFirebird()->getStatus());
    transacao->rollback(&st);
    if (st.getState() & IStatus::STATE_ERRORS)
        transacao->release();
    st.dispose();
    transacao = nullptr;
}

TConexao::TConexao() : F(std::make_unique<TImplementacao>())
{
    // The list the station connection is created with; only Database, User_Name, Password and
    // RoleName mean anything to this client, the rest are kept for whoever reads the list. No
    // database and no login are built in: the connection goes nowhere until it is configured.
    F->Parametros = ParametrosIniciais();
    F->Vigia.DefineLimite(std::chrono::milliseconds(kLimiteOperacaoMilissegundos));
}

TConexao::~TConexao()
{
    Desconecta();
    // Statements that outlive the connection are left without one, never with a dangling one.
    for (TConsulta* consulta : std::as_const(F->Consultas))
        consulta->FConexao = nullptr;
}

const TConfiguracaoRegional& TConexao::Regional() const
{
    return F->Regional;
}

void TConexao::DefineRegional(const TConfiguracaoRegional& regional)
{
    F->Regional = regional;
}

TConexao::TImplementacao& TConexao::Implementacao() const
{
    return *F;
}

QString TConexao::Parametro(const QString& nome) const
{
    const qsizetype i = F->Indice(nome);
    return i < 0 ? QString() : F->Parametros[i].second;
}

void TConexao::DefineParametro(const QString& nome, const QString& valor)
{
    const qsizetype i = F->Indice(nome);
    if (valor.isEmpty()) {
        if (i >= 0)
            F->Parametros.removeAt(i);
    } else if (i >= 0) {
        F->Parametros[i].second = valor;
    } else {
        F->Parametros.append({nome, valor});
    }
}

QStringList TConexao::Parametros() const
{
    QStringList linhas;
    for (const auto& [nome, valor] : F->Parametros)
        linhas << nome + '=' + valor;
    return linhas;
}

void TConexao::Conecta()
{
    if (F->Anexo)
        return;
    // A connection nobody configured would otherwise open whatever the client takes for a default
    // and store the station's fuelings where nobody looks for them.
    if (Parametro(QStringLiteral("Database")).trimmed().isEmpty())
        throw EErroBanco(QStringLiteral("A conexão com o banco de dados não foi configurada."),
                         TNaturezaErroBanco::Conexao);
    TStatusFirebird st;
    IXpbBuilder* dpb = nullptr;
    try {
        dpb = UtilFirebird()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
        dpb->insertInt(&st, isc_dpb_sql_dialect, 1);
        dpb->insertString(&st, isc_dpb_lc_ctype, "UTF8");
        // Bounds the TCP connect only; the attach as a whole is bounded by Anexa.
        dpb->insertInt(&st, isc_dpb_connect_timeout, F->LimiteConexaoSegundos);
        const auto texto = [&](unsigned char tag, const char* nome) {
            const QString valor = Parametro(QString::fromLatin1(nome));
            if (!valor.isEmpty())
                dpb->insertString(&st, tag, valor.toUtf8().constData());
        };
        texto(isc_dpb_user_name, "User_Name");
        texto(isc_dpb_password, "Password");
        texto(isc_dpb_sql_role_name, "RoleName");
        dpb->insertTag(&st, isc_dpb_utf8_filename);
        const QByteArray banco = Parametro(QStringLiteral("Database")).toUtf8();
        const QByteArray parametros(reinterpret_cast<const char*>(dpb->getBuffer(&st)),
                                    static_cast<qsizetype>(dpb->getBufferLength(&st)));
        dpb->dispose();
        dpb = nullptr;
        F->Anexo = F->Anexa(banco, parametros);
        F->Perdida = false;
        F->Vigia.DefineAnexo(F->Anexo);
    } catch (const FbException& erro) {
        if (dpb)
            dpb->dispose();
        throw F->Falha(erro);
    }
}

namespace {
// Detaches an attachment nobody will use; one that cannot be detached is let go all the same.
void SoltaAnexo(IAttachment* anexo)
{
    if (!anexo)
        return;
    CheckStatusWrapper st(MestreFirebird()->getStatus());
    anexo->detach(&st);
    if (st.getState() & IStatus::STATE_ERRORS)
        anexo->release();
    st.dispose();
}
} // namespace

IAttachment* TConexao::TImplementacao::Anexa(const QByteArray& banco, const QByteArray& parametros)
{
    auto tentativa = std::make_shared<TTentativaAnexo>();
    {
        const std::lock_guard trava(TravaTentativa);
        Tentativa = tentativa;
    }
    std::thread([tentativa, banco, parametros] {
        IAttachment* anexo = nullptr;
        QString mensagem;
        TNaturezaErroBanco natureza = TNaturezaErroBanco::Conexao;
        try {
            TStatusFirebird st;
            anexo = ProvedorFirebird()->attachDatabase(&st, banco.constData(), static_cast<unsigned>(parametros.size()),
                                                       reinterpret_cast<const unsigned char*>(parametros.constData()));
        } catch (const FbException& erro) {
            mensagem = MensagemFirebird(erro);
            natureza = NaturezaFirebird(erro);
        }
        std::unique_lock trava(tentativa->Trava);
        if (tentativa->Abandonada) {
            trava.unlock();
            // Nobody waits for it any more: it must not stay open, nor be used by anyone.
            SoltaAnexo(anexo);
            return;
        }
        tentativa->Anexo = anexo;
        tentativa->Mensagem = mensagem;
        tentativa->Natureza = natureza;
        tentativa->Pronta = true;
        tentativa->Sinal.notify_all();
    }).detach();

    std::unique_lock trava(tentativa->Trava);
    const auto prazo = std::chrono::steady_clock::now() + Vigia.Limite();
    tentativa->Sinal.wait_until(trava, prazo, [&] { return tentativa->Pronta || tentativa->Cancelada; });
    const bool pronta = tentativa->Pronta;
    if (!pronta)
        tentativa->Abandonada = true;
    const bool cancelada = tentativa->Cancelada;
    trava.unlock();
    {
        const std::lock_guard travaTentativa(TravaTentativa);
        Tentativa.reset();
    }
    if (!pronta) {
        if (cancelada)
            throw EErroBanco(QStringLiteral("Operação no banco de dados cancelada."), TNaturezaErroBanco::Conexao);
        throw EErroBanco(QStringLiteral("O banco de dados não respondeu à conexão em %1 s.")
                             .arg(QString::number(Vigia.Limite().count() / 1000.0, 'f', 1).replace('.', ',')),
                         TNaturezaErroBanco::Conexao);
    }
    if (!tentativa->Anexo)
        throw EErroBanco(tentativa->Mensagem, tentativa->Natureza);
    if (cancelada) { // cancelled as it came back: the program is ending, the attachment goes
        SoltaAnexo(tentativa->Anexo);
        throw EErroBanco(QStringLiteral("Operação no banco de dados cancelada."), TNaturezaErroBanco::Conexao);
    }
    return tentativa->Anexo;
}

void TConexao::Desconecta()
{
    if (!F->Anexo && !F->Transacao) {
        F->Nivel = 0;
        return;
    }
    // Every step below may go to the server: together they get one deadline.
    TChamadaVigiada vigiada(F->Vigia);
    F->AbandonaTransacao(F->Transacao);
    F->Nivel = 0;
    if (!F->Anexo)
        return;
    // Statements belong to the attachment: freed on the server while it is still there.
    for (TConsulta* consulta : std::as_const(F->Consultas))
        consulta->LiberaComando();
    CheckStatusWrapper st(MestreFirebird()->getStatus());
    F->Anexo->detach(&st);
    // A connection already lost cannot be detached; its handle is let go all the same.
    if (st.getState() & IStatus::STATE_ERRORS)
        F->Anexo->release();
    st.dispose();
    F->Anexo = nullptr;
    F->Vigia.DefineAnexo(nullptr);
    F->Perdida = false;
}

bool TConexao::Conectado() const
{
    return F->Anexo != nullptr;
}

bool TConexao::Perdida() const
{
    return F->Perdida;
}

void TConexao::Reconecta()
{
    Desconecta();
    Conecta();
}

void TConexao::DefineLimites(int conexaoSegundos, int operacaoMilissegundos)
{
    F->LimiteConexaoSegundos = qMax(1, conexaoSegundos);
    F->Vigia.DefineLimite(std::chrono::milliseconds(qMax(1, operacaoMilissegundos)));
}

void TConexao::Cancela() noexcept
{
    {
        const std::lock_guard trava(F->TravaTentativa);
        if (F->Tentativa) {
            const std::lock_guard travaTentativa(F->Tentativa->Trava);
            F->Tentativa->Cancelada = true;
            F->Tentativa->Sinal.notify_all();
        }
    }
    F->Vigia.Cancela();
}

EErroBanco TConexao::TImplementacao::Falha(const FbException& erro)
{
    // Whatever the client made of the closed socket, an aborted attachment is a lost connection.
    switch (Vigia.Motivo()) {
    case TMotivoAborto::Prazo:
        Perdida = Anexo != nullptr;
        return EErroBanco(QStringLiteral("O banco de dados não respondeu em %1 s; a conexão foi encerrada.")
                              .arg(QString::number(Vigia.Limite().count() / 1000.0, 'f', 1).replace('.', ',')),
                          TNaturezaErroBanco::Conexao);
    case TMotivoAborto::Cancelado:
        Perdida = Anexo != nullptr;
        return EErroBanco(QStringLiteral("Operação no banco de dados cancelada."), TNaturezaErroBanco::Conexao);
    case TMotivoAborto::Nenhum:
        break;
    }
    const TNaturezaErroBanco natureza = NaturezaFirebird(erro);
    if (natureza == TNaturezaErroBanco::Conexao && Anexo)
        Perdida = true;
    return EErroBanco(MensagemFirebird(erro), natureza, true);
}

QString TextoComCausa(const QString& prefixo, const std::exception& erro)
{
    if (const auto* banco = dynamic_cast<const EErroBanco*>(&erro); banco && banco->DoServidor())
        return prefixo.trimmed() + QLatin1Char('\r') + banco->Mensagem();
    return prefixo + MensagemDe(erro);
}

QString MensagemParaOperador(const QString& oQueSeFazia, const std::exception& erro)
{
    if (const auto* banco = dynamic_cast<const EErroBanco*>(&erro); banco && banco->DoServidor())
        return TextoComCausa(oQueSeFazia, erro);
    return MensagemDe(erro);
}

void RepassaComPrefixo(const QString& prefixo, const std::exception& erro)
{
    if (const auto* banco = dynamic_cast<const EErroBanco*>(&erro))
        throw EErroBanco(TextoComCausa(prefixo, erro), banco->Natureza());
    throw EErro(prefixo + MensagemDe(erro));
}

bool TConexao::EmTransacao() const
{
    return F->Nivel > 0;
}

quint64 TConexao::NumeroTransacao() const
{
    return F->NumeroTransacao;
}

void TConexao::IniciaTransacao()
{
    if (F->Nivel > 0) {
        ++F->Nivel; // joins: the sequence that began it ends it
        return;
    }
    Conecta();
    // The server's transaction starts with the first statement that may write: a write sequence
    // that turns out to change nothing costs the database nothing (every write transaction forces
    // a header page to disk). Under read committed, reads before that first write see exactly
    // what they would see inside it.
    F->Nivel = 1;
    ++F->NumeroTransacao;
}

void TConexao::Confirma()
{
    if (F->Nivel == 0)
        return;
    if (F->Nivel > 1) {
        --F->Nivel; // a joined sequence leaves; its work is committed with the rest, or not at all
        return;
    }
    if (F->Transacao) {
        TChamadaVigiada vigiada(F->Vigia);
        TStatusFirebird st;
        try {
            F->Transacao->commit(&st); // releases the handle on success
            F->Transacao = nullptr;
        } catch (const FbException& erro) {
            // still active: the caller rolls it back
            throw F->Falha(erro);
        }
    }
    F->Nivel = 0;
}

void TConexao::Desfaz()
{
    if (F->Nivel == 0)
        return;
    if (F->Nivel > 1) {
        --F->Nivel; // not this sequence's to roll back: the one that began it decides
        return;
    }
    F->Nivel = 0;
    if (!F->Transacao)
        return;
    TChamadaVigiada vigiada(F->Vigia);
    TStatusFirebird st;
    try {
        F->Transacao->rollback(&st);
        F->Transacao = nullptr;
    } catch (const FbException& erro) {
        Solta(F->Transacao);
        throw F->Falha(erro);
    }
}

void TConexao::Abandona() noexcept
{
    if (F->Nivel > 1) {
        --F->Nivel;
        return;
    }
    F->AbandonaTransacao(F->Transacao);
    F->Nivel = 0;
}

TGuardaTransacao::TGuardaTransacao(TConexao& conexao) : FConexao(conexao), FPropria(!conexao.EmTransacao())
{
    FConexao.IniciaTransacao();
    FNumero = FConexao.NumeroTransacao();
    FAberta = true;
}

bool TGuardaTransacao::Vigente() const
{
    // A connection lost and attached again has let this transaction go with it.
    return FAberta && FConexao.EmTransacao() && FConexao.NumeroTransacao() == FNumero;
}

TGuardaTransacao::~TGuardaTransacao()
{
    if (Vigente())
        FConexao.Abandona();
}

void TGuardaTransacao::Confirma()
{
    if (Vigente())
        FConexao.Confirma();
    FAberta = false;
}

// ---------------------------------------------------------------------------------------------
// Session helpers

void LigaConexao(QObject* dono, TConexao* conexao)
{
    if (!dono)
        return;
    if (auto* consulta = qobject_cast<TConsulta*>(dono))
        consulta->DefineConexao(conexao);
    for (TConsulta* consulta : dono->findChildren<TConsulta*>())
        consulta->DefineConexao(conexao);
}

// Kept for write sequences written with them; each goes through the connection's count, so none
// commits or rolls back a transaction its caller joined.
void IniciaTransacao(TConexao& conexao)
{
    conexao.IniciaTransacao();
}

void ConfirmaTransacao(TConexao& conexao)
{
    conexao.Confirma();
}

void DesfazTransacao(TConexao& conexao)
{
    conexao.Desfaz();
}
