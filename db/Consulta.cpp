#include "Conexao.h"

#include "Erro.h"
#include "Firebird.h"
#include "MensagemFirebird.h"
#include "Regional.h"
#include "TraducaoSql.h"

#include <algorithm>
#include <cmath>

using namespace Firebird;

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
        TChamadaVigiada vigiada(FConexao->Implementacao().Vigia);
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

void TConsulta::Traduz()
{
    if (FTraduzido)
        return;
    const TComandoTraduzido traduzido = TraduzParametros(FSQL);
    FSqlTraduzido = traduzido.Sql;
    FNomes = traduzido.Nomes;
    FTraduzido = true;
}

void TConsulta::Prepara(ITransaction* transacao)
{
    if (FComando)
        return;
    Traduz();
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
    TChamadaVigiada vigiada(conexao.Vigia);
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
        conexao.AbandonaTransacao(leitura);
        throw falha;
    } catch (...) {
        LiberaComando();
        conexao.AbandonaTransacao(leitura);
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

    Traduz();
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
    // The whole run, its rows fetched, gets one deadline: a server that stops answering half-way
    // does not hold the program.
    TChamadaVigiada vigiada(conexao.Vigia);
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
                if (conexao.Nivel > 0) {
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
            } else if (!escritaForcada && conexao.Nivel == 0
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
                conexao.AbandonaTransacao(transacao);
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
                conexao.AbandonaTransacao(transacao);
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
