#include "Conexao.h"

#include "Erro.h"
#include "Firebird.h"
#include "Regional.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace Firebird;

namespace {
// One output column as the prepared statement describes it.
struct TColunaSaida {
    unsigned Tipo = 0;
    unsigned SubTipo = 0;
    unsigned Comprimento = 0;
    unsigned Deslocamento = 0;
    unsigned DeslocamentoNulo = 0;
    int Escala = 0;
};
// Statement text with ":Nome" parameters turned into "?" and the names in their order of use.
struct TComandoPreparado {
    QByteArray Sql;
    QStringList Nomes;
};

bool InicioIdentificador(QChar c)
{
    return c.isLetter() || c == '_';
}

bool ParteIdentificador(QChar c)
{
    return c.isLetterOrNumber() || c == '_' || c == '$';
}

TComandoPreparado TraduzParametros(const QString& sql)
{
    TComandoPreparado comando;
    QString saida;
    saida.reserve(sql.size());
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql[i];
        if (c == '\'' || c == '"') { // quoted text or identifier, doubled quotes included
            const qsizetype fim = sql.indexOf(c, i + 1);
            const qsizetype ate = fim < 0 ? n : fim + 1;
            saida += sql.mid(i, ate - i);
            i = ate;
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            const qsizetype fim = sql.indexOf('\n', i);
            const qsizetype ate = fim < 0 ? n : fim;
            saida += sql.mid(i, ate - i);
            i = ate;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            const qsizetype fim = sql.indexOf(QStringLiteral("*/"), i + 2);
            const qsizetype ate = fim < 0 ? n : fim + 2;
            saida += sql.mid(i, ate - i);
            i = ate;
        } else if (c == ':' && i + 1 < n && InicioIdentificador(sql[i + 1])) {
            qsizetype fim = i + 1;
            while (fim < n && ParteIdentificador(sql[fim]))
                ++fim;
            comando.Nomes << sql.mid(i + 1, fim - i - 1).toUpper();
            saida += '?';
            i = fim;
        } else {
            saida += c;
            ++i;
        }
    }
    comando.Sql = saida.toUtf8();
    return comando;
}

// Text from the server: UTF-8 for every column with a character set; columns without one
// (NONE, OCTETS) hand over their bytes unchanged, read as Latin-1 when they are not UTF-8.
QString DecodificaTexto(const char* dados, qsizetype tamanho)
{
    const QByteArrayView bytes(dados, tamanho);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString texto = utf8.decode(bytes);
    if (!utf8.hasError())
        return texto;
    return QString::fromLatin1(dados, tamanho);
}

double Escala(qint64 valor, int escala)
{
    return static_cast<double>(valor) / std::pow(10.0, -escala);
}

QVariant Inteiro(qint64 valor, int escala)
{
    if (escala < 0)
        return Escala(valor, escala);
    if (escala > 0)
        return static_cast<double>(valor) * std::pow(10.0, escala);
    return valor;
}

QDate Data(ISC_DATE data)
{
    unsigned ano = 0, mes = 0, dia = 0;
    UtilFirebird()->decodeDate(data, &ano, &mes, &dia);
    return QDate(static_cast<int>(ano), static_cast<int>(mes), static_cast<int>(dia));
}

QTime Hora(ISC_TIME hora)
{
    unsigned h = 0, m = 0, s = 0, fracao = 0;
    UtilFirebird()->decodeTime(hora, &h, &m, &s, &fracao);
    return QTime(static_cast<int>(h), static_cast<int>(m), static_cast<int>(s), static_cast<int>(fracao / 10));
}

template <typename T>
T Le(const unsigned char* p)
{
    T valor;
    std::memcpy(&valor, p, sizeof valor);
    return valor;
}

template <typename T>
void Escreve(unsigned char* p, T valor)
{
    std::memcpy(p, &valor, sizeof valor);
}

QVariant LeBlob(IAttachment* anexo, ITransaction* transacao, ISC_QUAD id, int subtipo, TStatusFirebird& st)
{
    IBlob* blob = anexo->openBlob(&st, transacao, &id, 0, nullptr);
    QByteArray bytes;
    char pedaco[8192];
    try {
        for (;;) {
            unsigned lidos = 0;
            const int resultado = blob->getSegment(&st, sizeof pedaco, pedaco, &lidos);
            if (resultado != IStatus::RESULT_OK && resultado != IStatus::RESULT_SEGMENT)
                break;
            bytes.append(pedaco, lidos);
        }
        blob->close(&st);
    } catch (...) {
        blob->release();
        throw;
    }
    if (subtipo == 1)
        return DecodificaTexto(bytes.constData(), bytes.size());
    return bytes;
}

QVariant LeCampo(const TColunaSaida& coluna, const unsigned char* linha, IAttachment* anexo,
                 ITransaction* transacao, TStatusFirebird& st)
{
    if (Le<short>(linha + coluna.DeslocamentoNulo) != 0)
        return QVariant();
    const unsigned char* p = linha + coluna.Deslocamento;
    const int escala = coluna.Escala;
    switch (coluna.Tipo & ~1u) {
    case SQL_TEXT: {
        // CHAR columns come padded with blanks up to their width; the padding is not data (the
        // server itself ignores it when comparing), so codes read back as they were written.
        QString texto = DecodificaTexto(reinterpret_cast<const char*>(p), coluna.Comprimento);
        qsizetype fim = texto.size();
        while (fim > 0 && texto[fim - 1] == ' ')
            --fim;
        texto.truncate(fim);
        return texto;
    }
    case SQL_VARYING:
        return DecodificaTexto(reinterpret_cast<const char*>(p + 2), Le<unsigned short>(p));
    case SQL_SHORT:
        return Inteiro(Le<qint16>(p), escala);
    case SQL_LONG:
        return Inteiro(Le<qint32>(p), escala);
    case SQL_INT64:
        return Inteiro(Le<qint64>(p), escala);
    case SQL_FLOAT:
        return static_cast<double>(Le<float>(p));
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return Le<double>(p);
    case SQL_TIMESTAMP: {
        const auto momento = Le<ISC_TIMESTAMP>(p);
        return QDateTime(Data(momento.timestamp_date), Hora(momento.timestamp_time));
    }
    case SQL_TYPE_DATE:
        return Data(Le<ISC_DATE>(p));
    case SQL_TYPE_TIME:
        return Hora(Le<ISC_TIME>(p));
    case SQL_BOOLEAN:
        return *p != 0;
    case SQL_BLOB:
        return LeBlob(anexo, transacao, Le<ISC_QUAD>(p), coluna.SubTipo, st);
    case SQL_NULL:
        return QVariant();
    default:
        throw EErro(QStringLiteral("Tipo de coluna não suportado: %1").arg(coluna.Tipo));
    }
}

bool Numerico(unsigned tipo)
{
    switch (tipo & ~1u) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return true;
    default:
        return false;
    }
}

// Ends a transaction on an error path: rolled back, or at least let go. The original error is the
// one reported, so a failure here is not raised on top of it.
void AbandonaTransacao(ITransaction*& transacao)
{
    if (!transacao)
        return;
    CheckStatusWrapper st(MestreFirebird()->getStatus());
    transacao->rollback(&st);
    if (st.getState() & IStatus::STATE_ERRORS)
        transacao->release();
    st.dispose();
    transacao = nullptr;
}

template <typename T>
void Solta(T*& objeto)
{
    if (objeto)
        objeto->release();
    objeto = nullptr;
}

QVector<std::pair<QString, QString>> ParametrosIniciais()
{
    return {
        {QStringLiteral("DriverName"), QStringLiteral("Interbase")},
        {QStringLiteral("Database"), QStringLiteral("Tankora.gdb")},
        {QStringLiteral("RoleName"), QStringLiteral("RoleName")},
        {QStringLiteral("User_Name"), QStringLiteral("sysdba")},
        {QStringLiteral("Password"), QStringLiteral("pumpvault")},
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

// ---------------------------------------------------------------------------------------------
// TConexao

qsizetype TConexao::TImplementacao::Indice(const QString& nome) const
{
    for (qsizetype i = 0; i < Parametros.size(); ++i)
        if (Parametros[i].first.compare(nome, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

ITransaction* TConexao::TImplementacao::IniciaTransacaoFirebird(bool somenteLeitura)
{
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

TConexao::TConexao() : F(std::make_unique<TImplementacao>())
{
    // The list the station connection is created with; only Database, User_Name, Password and
    // RoleName mean anything to this client, the rest are kept for whoever reads the list.
    F->Parametros = ParametrosIniciais();
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
    TStatusFirebird st;
    IXpbBuilder* dpb = nullptr;
    try {
        dpb = UtilFirebird()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
        dpb->insertInt(&st, isc_dpb_sql_dialect, 1);
        dpb->insertString(&st, isc_dpb_lc_ctype, "UTF8");
        dpb->insertInt(&st, isc_dpb_connect_timeout, 10);
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
        F->Anexo = ProvedorFirebird()->attachDatabase(&st, banco.constData(), dpb->getBufferLength(&st),
                                                      dpb->getBuffer(&st));
        dpb->dispose();
    } catch (const FbException& erro) {
        if (dpb)
            dpb->dispose();
        throw F->Falha(erro);
    }
}

void TConexao::Desconecta()
{
    AbandonaTransacao(F->Transacao);
    F->TransacaoAberta = false;
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

EErroBanco TConexao::TImplementacao::Falha(const FbException& erro)
{
    const TNaturezaErroBanco natureza = NaturezaFirebird(erro);
    if (natureza == TNaturezaErroBanco::Conexao && Anexo)
        Perdida = true;
    return EErroBanco(MensagemFirebird(erro), natureza);
}

void RepassaComPrefixo(const QString& prefixo, const std::exception& erro)
{
    if (const auto* banco = dynamic_cast<const EErroBanco*>(&erro))
        throw EErroBanco(prefixo + banco->Mensagem(), banco->Natureza());
    throw EErro(prefixo + MensagemDe(erro));
}

bool TConexao::EmTransacao() const
{
    return F->TransacaoAberta;
}

quint64 TConexao::NumeroTransacao() const
{
    return F->NumeroTransacao;
}

void TConexao::IniciaTransacao()
{
    if (F->TransacaoAberta)
        return;
    Conecta();
    // The server's transaction starts with the first statement that may write: a write sequence
    // that turns out to change nothing costs the database nothing (every write transaction forces
    // a header page to disk). Under read committed, reads before that first write see exactly
    // what they would see inside it.
    F->TransacaoAberta = true;
    ++F->NumeroTransacao;
}

void TConexao::Confirma()
{
    if (!F->TransacaoAberta)
        return;
    if (F->Transacao) {
        TStatusFirebird st;
        try {
            F->Transacao->commit(&st); // releases the handle on success
            F->Transacao = nullptr;
        } catch (const FbException& erro) {
            // still active: the caller rolls it back
            throw F->Falha(erro);
        }
    }
    F->TransacaoAberta = false;
}

void TConexao::Desfaz()
{
    if (!F->TransacaoAberta)
        return;
    F->TransacaoAberta = false;
    if (!F->Transacao)
        return;
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
    AbandonaTransacao(F->Transacao);
    F->TransacaoAberta = false;
}

TGuardaTransacao::TGuardaTransacao(TConexao& conexao) : FConexao(conexao), FPropria(!conexao.EmTransacao())
{
    if (FPropria)
        FConexao.IniciaTransacao();
}

TGuardaTransacao::~TGuardaTransacao()
{
    if (FPropria)
        FConexao.Abandona();
}

void TGuardaTransacao::Confirma()
{
    if (FPropria)
        FConexao.Confirma();
}

// ---------------------------------------------------------------------------------------------
// TConsulta

// What a prepared statement keeps between executions: its descriptions, its statement type, the
// input message last built with its buffer, and the output row buffer. Texts are parsed and
// descriptions read once per prepare, not on every execution.
struct TConsulta::TPreparo {
    unsigned Tipo = 0; // isc_info_sql_stmt_*
    IMessageMetadata* EntradaNativa = nullptr;
    QVector<unsigned> TiposEntrada;
    IMessageMetadata* Saida = nullptr;
    QVector<TColunaSaida> Colunas;
    QStringList Aliases; // upper case
    QByteArray Linha;

    // The input message as last built: each field's type and length (0, 0: the statement's own
    // type, for a NULL), its description, offsets and buffer. Rebuilt only when a field's type
    // changes or a text outgrows its room.
    QVector<std::pair<unsigned, unsigned>> Assinatura;
    IMessageMetadata* Entrada = nullptr;
    QVector<unsigned> Deslocamentos;
    QVector<unsigned> DeslocamentosNulos;
    QByteArray Buffer;

    TPreparo() = default;
    TPreparo(const TPreparo&) = delete;
    TPreparo& operator=(const TPreparo&) = delete;
    ~TPreparo()
    {
        Solta(Entrada);
        Solta(Saida);
        Solta(EntradaNativa);
    }

    void Descreve(IStatement* comando, TStatusFirebird& st)
    {
        Tipo = comando->getType(&st);
        EntradaNativa = comando->getInputMetadata(&st);
        const unsigned entradas = EntradaNativa->getCount(&st);
        for (unsigned i = 0; i < entradas; ++i)
            TiposEntrada << EntradaNativa->getType(&st, i);
        Saida = comando->getOutputMetadata(&st);
        const unsigned colunas = Saida->getCount(&st);
        for (unsigned i = 0; i < colunas; ++i) {
            TColunaSaida c;
            c.Tipo = Saida->getType(&st, i);
            c.SubTipo = static_cast<unsigned>(Saida->getSubType(&st, i));
            c.Comprimento = Saida->getLength(&st, i);
            c.Deslocamento = Saida->getOffset(&st, i);
            c.DeslocamentoNulo = Saida->getNullOffset(&st, i);
            c.Escala = Saida->getScale(&st, i);
            Colunas << c;
            Aliases << QString::fromUtf8(Saida->getAlias(&st, i)).toUpper();
        }
        Linha = QByteArray(static_cast<qsizetype>(Saida->getMessageLength(&st)), '\0');
    }

    // The message for these values: each bound value's field retyped to what the value is; the
    // server converts to the parameter's type (a text to a date, for example).
    void MontaEntrada(const QVector<QVariant>& valores, TStatusFirebird& st)
    {
        const auto quantos = static_cast<qsizetype>(TiposEntrada.size());
        bool muda = Entrada == nullptr || Assinatura.size() != quantos;
        Assinatura.resize(quantos);
        for (qsizetype i = 0; i < quantos; ++i) {
            const QVariant& valor = valores[i];
            std::pair<unsigned, unsigned> campo{0, 0};
            if (!valor.isNull()) {
                switch (valor.typeId()) {
                case QMetaType::LongLong:
                    campo = {SQL_INT64, sizeof(qint64)};
                    break;
                case QMetaType::Double:
                    campo = {SQL_DOUBLE, sizeof(double)};
                    break;
                case QMetaType::QDate:
                    campo = {SQL_TIMESTAMP, sizeof(ISC_TIMESTAMP)};
                    break;
                default: {
                    // room for the text's characters at four bytes each, so no length check trips;
                    // kept once given, so texts of varying length share one description
                    const qsizetype caracteres = qMax<qsizetype>(1, valor.toString().size());
                    const auto precisa = static_cast<unsigned>(4 * caracteres);
                    const unsigned tem = Assinatura[i].first == SQL_VARYING ? Assinatura[i].second : 0;
                    campo = {SQL_VARYING, precisa <= tem ? tem : qMax(precisa, qMin(32u * ((precisa + 31) / 32), 32764u))};
                    break;
                }
                }
            }
            if (campo != Assinatura[i]) {
                Assinatura[i] = campo;
                muda = true;
            }
        }
        if (muda)
            Redescreve(st);
        Preenche(valores, st);
    }

private:
    void Redescreve(TStatusFirebird& st)
    {
        Solta(Entrada);
        IMetadataBuilder* construtor = EntradaNativa->getBuilder(&st);
        try {
            for (unsigned i = 0; i < static_cast<unsigned>(Assinatura.size()); ++i) {
                const auto [tipo, tamanho] = Assinatura[i];
                if (tipo == 0)
                    continue; // the statement's own type, flagged NULL
                construtor->setType(&st, i, tipo);
                construtor->setSubType(&st, i, 0);
                construtor->setScale(&st, i, 0);
                construtor->setLength(&st, i, tamanho);
                construtor->setCharSet(&st, i, tipo == SQL_VARYING ? CharsetUtf8 : 0);
            }
            Entrada = construtor->getMetadata(&st);
        } catch (...) {
            construtor->release();
            throw;
        }
        construtor->release();
        const unsigned quantos = Entrada->getCount(&st);
        Deslocamentos.resize(quantos);
        DeslocamentosNulos.resize(quantos);
        for (unsigned i = 0; i < quantos; ++i) {
            Deslocamentos[i] = Entrada->getOffset(&st, i);
            DeslocamentosNulos[i] = Entrada->getNullOffset(&st, i);
        }
        Buffer = QByteArray(static_cast<qsizetype>(Entrada->getMessageLength(&st)), '\0');
    }

    void Preenche(const QVector<QVariant>& valores, TStatusFirebird&)
    {
        auto* base = reinterpret_cast<unsigned char*>(Buffer.data());
        for (qsizetype i = 0; i < Assinatura.size(); ++i) {
            const QVariant& valor = valores[i];
            Escreve<short>(base + DeslocamentosNulos[i], valor.isNull() ? -1 : 0);
            if (valor.isNull())
                continue;
            unsigned char* p = base + Deslocamentos[i];
            switch (valor.typeId()) {
            case QMetaType::LongLong:
                Escreve<qint64>(p, valor.toLongLong());
                break;
            case QMetaType::Double:
                Escreve<double>(p, valor.toDouble());
                break;
            case QMetaType::QDate: {
                const QDate d = valor.toDate();
                ISC_TIMESTAMP momento;
                momento.timestamp_date = UtilFirebird()->encodeDate(static_cast<unsigned>(d.year()),
                                                                    static_cast<unsigned>(d.month()),
                                                                    static_cast<unsigned>(d.day()));
                momento.timestamp_time = 0;
                Escreve(p, momento);
                break;
            }
            default: {
                const QByteArray texto = valor.toString().toUtf8();
                Escreve<unsigned short>(p, static_cast<unsigned short>(texto.size()));
                std::memcpy(p + 2, texto.constData(), static_cast<size_t>(texto.size()));
                break;
            }
            }
        }
    }
};


TConsulta::TConsulta(TConexao* conexao, QObject* dono) : QObject(dono), FConexao(nullptr)
{
    DefineConexao(conexao);
}

TConsulta::~TConsulta()
{
    DefineConexao(nullptr);
}

void TConsulta::LiberaComando()
{
    FPreparo.reset();
    if (!FComando)
        return;
    // Freed on the server while its attachment lives; otherwise only the client's handle goes.
    if (FConexao && FConexao->Conectado()) {
        CheckStatusWrapper st(MestreFirebird()->getStatus());
        FComando->free(&st);
        if (st.getState() & IStatus::STATE_ERRORS)
            FComando->release();
        st.dispose();
    } else {
        FComando->release();
    }
    FComando = nullptr;
}

void TConsulta::DefineConexao(TConexao* conexao)
{
    Fecha();
    if (conexao == FConexao)
        return;
    LiberaComando();
    if (FConexao)
        FConexao->Implementacao().Consultas.remove(this);
    FConexao = conexao;
    if (FConexao)
        FConexao->Implementacao().Consultas.insert(this);
}

void TConsulta::DefineSQL(const QString& sql)
{
    Fecha();
    if (sql != FSQL) {
        LiberaComando();
        FTraduzido = false;
    }
    FSQL = sql;
    FParametros.clear();
}

void TConsulta::Define(const QString& nome, const QVariant& valor)
{
    for (auto& parametro : FParametros)
        if (parametro.first.compare(nome, Qt::CaseInsensitive) == 0) {
            parametro.second = valor;
            return;
        }
    FParametros.append({nome.toUpper(), valor});
}

void TConsulta::DefineTexto(const QString& nome, const QString& valor)
{
    Define(nome, QVariant(valor.isNull() ? QStringLiteral("") : valor));
}

void TConsulta::DefineInteiro(const QString& nome, qint64 valor)
{
    Define(nome, QVariant(valor));
}

void TConsulta::DefineDouble(const QString& nome, double valor)
{
    Define(nome, QVariant(valor));
}

void TConsulta::DefineData(const QString& nome, const QDate& valor)
{
    Define(nome, valor.isValid() ? QVariant(valor) : QVariant());
}

void TConsulta::DefineNuloTexto(const QString& nome)
{
    Define(nome, QVariant());
}

void TConsulta::Abre()
{
    Fecha();
    RodaComando(true);
    FAberta = true;
}

void TConsulta::Fecha()
{
    FAberta = false;
    FColunas.clear();
    FLinhas.clear();
    FLinha = 0;
}

int TConsulta::Executa()
{
    Fecha();
    return RodaComando(false);
}

void TConsulta::Prepara(ITransaction* transacao)
{
    if (FComando)
        return;
    if (!FTraduzido) {
        const TComandoPreparado traduzido = TraduzParametros(FSQL);
        FSqlTraduzido = traduzido.Sql;
        FNomes = traduzido.Nomes;
        FTraduzido = true;
    }
    TConexao::TImplementacao& conexao = FConexao->Implementacao();
    TStatusFirebird st;
    FComando = conexao.Anexo->prepare(&st, transacao, static_cast<unsigned>(FSqlTraduzido.size()),
                                      FSqlTraduzido.constData(), 1, IStatement::PREPARE_PREFETCH_METADATA);
    FPreparo = std::make_unique<TPreparo>();
    FPreparo->Descreve(FComando, st);
    if (static_cast<qsizetype>(FPreparo->TiposEntrada.size()) != FNomes.size())
        throw EErro(QStringLiteral("Parâmetros do comando não conferem com o texto SQL"));
}

QString TConsulta::Plano()
{
    if (!FConexao)
        throw EErro(QStringLiteral("Consulta sem conexão"));
    FConexao->Conecta();
    TConexao::TImplementacao& conexao = FConexao->Implementacao();
    ITransaction* leitura = nullptr;
    try {
        if (!FComando) {
            leitura = conexao.Transacao ? nullptr : conexao.IniciaTransacaoFirebird(true);
            Prepara(leitura ? leitura : conexao.Transacao);
        }
        TStatusFirebird st;
        const char* plano = FComando->getPlan(&st, false);
        const QString texto = plano ? QString::fromUtf8(plano).trimmed() : QString();
        if (leitura) {
            leitura->commit(&st);
            leitura = nullptr;
        }
        return texto;
    } catch (const FbException& erro) {
        const EErroBanco falha = conexao.Falha(erro);
        LiberaComando();
        AbandonaTransacao(leitura);
        throw falha;
    } catch (...) {
        LiberaComando();
        AbandonaTransacao(leitura);
        throw;
    }
}

namespace {
bool ErroSomenteLeitura(const FbException& erro)
{
    const ISC_STATUS* vetor = erro.getStatus()->getErrors();
    for (int i = 0; vetor && vetor[i] != isc_arg_end && i < 40; i += 2)
        if (vetor[i] == isc_arg_gds && vetor[i + 1] == isc_read_only_trans)
            return true;
    return false;
}
} // namespace

int TConsulta::RodaComando(bool buscaLinhas)
{
    if (!FConexao)
        throw EErro(QStringLiteral("Consulta sem conexão"));
    FConexao->Conecta();
    TConexao::TImplementacao& conexao = FConexao->Implementacao();

    if (!FTraduzido) {
        const TComandoPreparado traduzido = TraduzParametros(FSQL);
        FSqlTraduzido = traduzido.Sql;
        FNomes = traduzido.Nomes;
        FTraduzido = true;
    }
    QVector<QVariant> valores;
    valores.reserve(FNomes.size());
    for (const QString& nome : std::as_const(FNomes)) {
        const auto achado = std::find_if(FParametros.cbegin(), FParametros.cend(),
                                         [&](const auto& parametro) { return parametro.first == nome; });
        if (achado == FParametros.cend())
            throw EErro(QStringLiteral("Nenhum valor para o parâmetro '%1'").arg(nome));
        valores << achado->second;
    }

    // A plain SELECT with no write transaction running reads in a read-only one: under read
    // committed it sees the same rows, and it forces no page to disk. Anything else runs in the
    // open write transaction (started now, when this is the open sequence's first write), or in
    // one of its own committed at once. A SELECT that turns out to write (a selectable procedure)
    // is run again the ordinary way.
    bool escritaForcada = false;
    for (;;) {
        bool propria = false;
        ITransaction* transacao = nullptr;
        IResultSet* cursor = nullptr;
        int afetadas = 0;
        bool leitura = false;
        TStatusFirebird st;
        try {
            // The write transaction this statement runs in: the open sequence's (started now when
            // this is its first write) or one of its own.
            const auto escrita = [&] {
                if (conexao.TransacaoAberta) {
                    if (!conexao.Transacao)
                        conexao.Transacao = conexao.IniciaTransacaoFirebird(false);
                    transacao = conexao.Transacao;
                    propria = false;
                } else {
                    transacao = conexao.IniciaTransacaoFirebird(false);
                    propria = true;
                }
            };
            if (conexao.Transacao) {
                transacao = conexao.Transacao;
            } else if (!escritaForcada && !conexao.TransacaoAberta
                       && (!FPreparo || FPreparo->Tipo == isc_info_sql_stmt_select)) {
                transacao = conexao.IniciaTransacaoFirebird(true);
                propria = true;
                leitura = true;
            } else {
                escrita();
            }
            Prepara(transacao);
            if (leitura && FPreparo->Tipo != isc_info_sql_stmt_select) {
                // Not a plain read: it needs a write transaction after all.
                transacao->commit(&st);
                transacao = nullptr;
                leitura = false;
                escrita();
            }
            TPreparo& preparo = *FPreparo;
            // A text bound to a number is read with the regional settings, as the client would.
            for (qsizetype i = 0; i < valores.size(); ++i) {
                QVariant& valor = valores[i];
                if (!valor.isNull() && valor.typeId() == QMetaType::QString && Numerico(preparo.TiposEntrada[i])) {
                    try {
                        valor = conexao.Regional.LeNumero(valor.toString());
                    } catch (const EErroConversao&) {
                        // not a regional number: the server gets the text and judges it
                    }
                }
            }
            preparo.MontaEntrada(valores, st);
            const auto colunas = static_cast<unsigned>(preparo.Colunas.size());
            auto* bytes = reinterpret_cast<unsigned char*>(preparo.Linha.data());
            if (buscaLinhas) {
                FColunas = preparo.Aliases;
                cursor = FComando->openCursor(&st, transacao, preparo.Entrada, preparo.Buffer.data(), preparo.Saida, 0);
                while (cursor->fetchNext(&st, bytes) == IStatus::RESULT_OK) {
                    QVector<QVariant> valoresLinha;
                    valoresLinha.reserve(colunas);
                    for (unsigned i = 0; i < colunas; ++i)
                        valoresLinha << LeCampo(preparo.Colunas[i], bytes, conexao.Anexo, transacao, st);
                    FLinhas << valoresLinha;
                }
                cursor->close(&st); // releases it
                cursor = nullptr;
            } else {
                FComando->execute(&st, transacao, preparo.Entrada, preparo.Buffer.data(),
                                  colunas ? preparo.Saida : nullptr, colunas ? bytes : nullptr);
                afetadas = static_cast<int>(FComando->getAffectedRecords(&st));
            }
            if (propria) {
                transacao->commit(&st);
                transacao = nullptr;
            }
            return afetadas;
        } catch (const FbException& erro) {
            const EErroBanco falha = conexao.Falha(erro);
            const bool repete = leitura && !escritaForcada && ErroSomenteLeitura(erro);
            Solta(cursor);
            LiberaComando();
            if (propria)
                AbandonaTransacao(transacao);
            FColunas.clear();
            FLinhas.clear();
            if (repete) {
                escritaForcada = true;
                continue;
            }
            throw falha;
        } catch (...) {
            Solta(cursor);
            LiberaComando();
            if (propria)
                AbandonaTransacao(transacao);
            FColunas.clear();
            FLinhas.clear();
            throw;
        }
    }
}

qsizetype TConsulta::IndiceColuna(const QString& nome) const
{
    const qsizetype i = FColunas.indexOf(nome.toUpper());
    if (i < 0)
        throw EErro(QStringLiteral("Campo '%1' não encontrado").arg(nome));
    return i;
}

QVariant TConsulta::Campo(const QString& nome) const
{
    const qsizetype i = IndiceColuna(nome);
    if (FLinha < 0 || FLinha >= FLinhas.size())
        return QVariant();
    return FLinhas[FLinha][i];
}

bool TConsulta::CampoNulo(const QString& nome) const
{
    return Campo(nome).isNull();
}

const TConfiguracaoRegional& TConsulta::Regional() const
{
    static const TConfiguracaoRegional kPadrao;
    return FConexao ? FConexao->Regional() : kPadrao;
}

QString TConsulta::CampoTexto(const QString& nome) const
{
    const QVariant valor = Campo(nome);
    if (valor.isNull())
        return QString();
    const TConfiguracaoRegional& regional = Regional();
    switch (valor.typeId()) {
    case QMetaType::Double:
        return regional.TextoNumero(valor.toDouble());
    case QMetaType::QDate:
        return regional.TextoData(valor.toDate());
    case QMetaType::QTime:
        return regional.TextoHoraLonga(valor.toTime());
    case QMetaType::QDateTime: {
        // a date-time shows its time only when it has one
        const QDateTime momento = valor.toDateTime();
        if (momento.time() == QTime(0, 0))
            return regional.TextoData(momento.date());
        return regional.TextoData(momento.date()) + ' ' + regional.TextoHoraLonga(momento.time());
    }
    case QMetaType::Bool:
        return valor.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return valor.toString();
    }
}

qint64 TConsulta::CampoInteiro(const QString& nome) const
{
    const QVariant valor = Campo(nome);
    if (valor.isNull())
        return 0;
    switch (valor.typeId()) {
    case QMetaType::LongLong:
        return valor.toLongLong();
    case QMetaType::Double:
        return std::llround(valor.toDouble());
    case QMetaType::Bool:
        return valor.toBool() ? 1 : 0;
    case QMetaType::QString:
        return LeInteiro(valor.toString().trimmed());
    default:
        throw EErro(QStringLiteral("Campo '%1' não é um valor inteiro").arg(nome));
    }
}

double TConsulta::CampoDouble(const QString& nome) const
{
    const QVariant valor = Campo(nome);
    if (valor.isNull())
        return 0;
    switch (valor.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Double:
        return valor.toDouble();
    case QMetaType::QString:
        return Regional().LeNumero(valor.toString());
    default:
        throw EErro(QStringLiteral("Campo '%1' não é um valor numérico").arg(nome));
    }
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

void IniciaTransacao(TConexao& conexao)
{
    if (!conexao.EmTransacao())
        conexao.IniciaTransacao();
}

void ConfirmaTransacao(TConexao& conexao)
{
    if (conexao.EmTransacao())
        conexao.Confirma();
}

void DesfazTransacao(TConexao& conexao)
{
    if (conexao.EmTransacao())
        conexao.Desfaz();
}
