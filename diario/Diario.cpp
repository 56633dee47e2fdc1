#include "Diario.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Version of the layout below, kept in PRAGMA user_version.
constexpr int kVersaoEsquema = 1;
// The longest wait on the other holder of the file (the engine, or the tool beside it).
constexpr int kEsperaMs = 5000;

const char* const kEsquema = R"(
CREATE TABLE entradas (
    numero INTEGER PRIMARY KEY AUTOINCREMENT,
    lido_em INTEGER NOT NULL,
    layout TEXT NOT NULL,
    origem TEXT NOT NULL,
    bruto BLOB NOT NULL,
    resumo INTEGER NOT NULL,
    id INTEGER NOT NULL,
    bico TEXT NOT NULL,
    data TEXT NOT NULL,
    hora TEXT NOT NULL,
    litragem REAL NOT NULL,
    valor_total INTEGER NOT NULL,
    preco_unit INTEGER NOT NULL,
    encerrante_final REAL NOT NULL,
    cod_fid TEXT NOT NULL,
    estado TEXT NOT NULL,
    motivo TEXT NOT NULL DEFAULT '',
    motivo_em INTEGER,
    tentativas INTEGER NOT NULL DEFAULT 0,
    sequencia INTEGER NOT NULL DEFAULT 0,
    data_gravada TEXT NOT NULL DEFAULT '',
    cod_bico TEXT NOT NULL DEFAULT '',
    hora_gravada TEXT NOT NULL DEFAULT '',
    gravado_em INTEGER,
    nova_sequencia INTEGER NOT NULL DEFAULT 0,
    sumido INTEGER NOT NULL DEFAULT 0,
    responsavel TEXT NOT NULL DEFAULT '',
    repete_de INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX entradas_estado ON entradas (estado, numero);
CREATE INDEX entradas_resumo ON entradas (resumo);
CREATE INDEX entradas_lido ON entradas (lido_em);
)";

const char* const kColunas =
    "numero, lido_em, layout, origem, bruto, id, bico, data, hora, litragem, valor_total, preco_unit, "
    "encerrante_final, cod_fid, estado, motivo, motivo_em, tentativas, sequencia, data_gravada, cod_bico, "
    "hora_gravada, gravado_em, nova_sequencia, sumido, responsavel, repete_de";

// A failure of SQLite inside the library, turned into EErroDiario at the public edge with the
// file's name and the action that failed.
struct EFalhaSqlite {
    int Codigo;
    int Sistema; // errno, when the system said why
    QString Texto;
};

// A file that is not a readable journal (garbage, cut short, another program's database).
struct EDanificado {};

bool Danificado(int codigo)
{
    const int primario = codigo & 0xff;
    return primario == SQLITE_CORRUPT || primario == SQLITE_NOTADB;
}

[[noreturn]] void Falha(sqlite3* banco, int codigo)
{
    if (Danificado(codigo))
        throw EDanificado{};
    if (banco && (sqlite3_extended_errcode(banco) & 0xff) == (codigo & 0xff))
        codigo = sqlite3_extended_errcode(banco);
    throw EFalhaSqlite{codigo, banco ? sqlite3_system_errno(banco) : 0, QString::fromUtf8(sqlite3_errmsg(banco))};
}

class TComando {
public:
    TComando(sqlite3* banco, const char* sql) : FBanco(banco)
    {
        const int r = sqlite3_prepare_v2(banco, sql, -1, &FComando, nullptr);
        if (r != SQLITE_OK)
            Falha(banco, r);
    }
    ~TComando() { sqlite3_finalize(FComando); }
    TComando(const TComando&) = delete;
    TComando& operator=(const TComando&) = delete;

    TComando& Liga(int i, qint64 valor)
    {
        Confere(sqlite3_bind_int64(FComando, i, valor));
        return *this;
    }
    TComando& Liga(int i, double valor)
    {
        Confere(sqlite3_bind_double(FComando, i, valor));
        return *this;
    }
    TComando& Liga(int i, const QString& valor)
    {
        const QByteArray utf8 = valor.toUtf8();
        Confere(sqlite3_bind_text(FComando, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT));
        return *this;
    }
    TComando& Liga(int i, const QByteArray& valor)
    {
        Confere(sqlite3_bind_blob(FComando, i, valor.constData(), int(valor.size()), SQLITE_TRANSIENT));
        return *this;
    }
    TComando& Liga(int i, const QDateTime& valor)
    {
        Confere(valor.isValid() ? sqlite3_bind_int64(FComando, i, valor.toMSecsSinceEpoch())
                                : sqlite3_bind_null(FComando, i));
        return *this;
    }
    // true while it gives rows.
    bool Passo()
    {
        const int r = sqlite3_step(FComando);
        if (r == SQLITE_ROW)
            return true;
        if (r == SQLITE_DONE)
            return false;
        Falha(FBanco, r);
    }
    void Executa()
    {
        while (Passo()) {
        }
    }

    qint64 Inteiro(int c) const { return sqlite3_column_int64(FComando, c); }
    double Real(int c) const { return sqlite3_column_double(FComando, c); }
    QString Texto(int c) const
    {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(FComando, c)),
                                 sqlite3_column_bytes(FComando, c));
    }
    QByteArray Bytes(int c) const
    {
        const void* dados = sqlite3_column_blob(FComando, c);
        return QByteArray(static_cast<const char*>(dados), sqlite3_column_bytes(FComando, c));
    }
    QDateTime Momento(int c) const
    {
        if (sqlite3_column_type(FComando, c) == SQLITE_NULL)
            return {};
        return QDateTime::fromMSecsSinceEpoch(sqlite3_column_int64(FComando, c));
    }

private:
    void Confere(int r)
    {
        if (r != SQLITE_OK)
            Falha(FBanco, r);
    }
    sqlite3* FBanco;
    sqlite3_stmt* FComando = nullptr;
};

void Executa(sqlite3* banco, const char* sql)
{
    const int r = sqlite3_exec(banco, sql, nullptr, nullptr, nullptr);
    if (r != SQLITE_OK)
        Falha(banco, r);
}

// A short fingerprint of the raw bytes: the index the repeat check looks up (the bytes decide).
qint64 Resumo(const QByteArray& bruto)
{
    const QByteArray h = QCryptographicHash::hash(bruto, QCryptographicHash::Sha256);
    return qFromBigEndian<qint64>(h.constData());
}

TEntradaDiario LeEntrada(const TComando& c)
{
    TEntradaDiario e;
    e.Numero = c.Inteiro(0);
    e.LidoEm = c.Momento(1);
    e.Layout = c.Texto(2);
    e.Origem = c.Texto(3);
    e.Bruto = c.Bytes(4);
    e.Campos.Id = qint32(c.Inteiro(5));
    e.Campos.Bico = c.Texto(6);
    e.Campos.Data = c.Texto(7);
    e.Campos.Hora = c.Texto(8);
    e.Campos.Litragem = c.Real(9);
    e.Campos.ValorTotal = c.Inteiro(10);
    e.Campos.PrecoUnit = c.Inteiro(11);
    e.Campos.EncerranteFinal = c.Real(12);
    e.Campos.CodFid = c.Texto(13);
    e.Estado = EstadoDoNome(c.Texto(14)).value_or(TEstadoEntrada::Retido);
    e.Motivo = c.Texto(15);
    e.MotivoEm = c.Momento(16);
    e.Tentativas = int(c.Inteiro(17));
    e.Sequencia = c.Inteiro(18);
    e.DataGravada = QDate::fromString(c.Texto(19), Qt::ISODate);
    e.CodBico = c.Texto(20);
    e.HoraGravada = c.Texto(21);
    e.GravadoEm = c.Momento(22);
    e.NovaSequencia = c.Inteiro(23) != 0;
    e.Sumido = c.Inteiro(24) != 0;
    e.Responsavel = c.Texto(25);
    e.RepeteDe = c.Inteiro(26);
    return e;
}

QList<TEntradaDiario> LeEntradas(TComando& c)
{
    QList<TEntradaDiario> lidas;
    while (c.Passo())
        lidas.append(LeEntrada(c));
    return lidas;
}

QByteArray Selecao(const char* resto)
{
    return QByteArray("SELECT ") + kColunas + " FROM entradas " + resto;
}

QString TextoErrno(int erro)
{
    switch (erro) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("disco cheio");
    case EROFS:
        return QStringLiteral("o disco está montado somente para leitura");
    case EACCES:
    case EPERM:
        return QStringLiteral("sem permissão de gravação");
    case ENOENT:
        return QStringLiteral("a pasta não existe");
    default:
        return QString::fromLocal8Bit(std::strerror(erro));
    }
}

// Why `caminho` (or its folder) cannot be written, from the system itself; empty when it can.
QString MotivoSemGravacao(const QString& caminho)
{
    // The effective user's rights, as the open itself saw them.
    auto semGravacao = [](const QString& qual) {
        return ::faccessat(AT_FDCWD, QFile::encodeName(qual).constData(), W_OK, AT_EACCESS) != 0 && errno != ENOENT;
    };
    if (semGravacao(caminho))
        return TextoErrno(errno) + (errno == EROFS ? QString() : QStringLiteral(" no arquivo"));
    const QString pasta = QFileInfo(caminho).absolutePath();
    if (semGravacao(pasta))
        return TextoErrno(errno) + (errno == EROFS ? QString() : QStringLiteral(" na pasta ") + pasta);
    return {};
}

QString Carimbo(const QDateTime& quando)
{
    return quando.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

} // namespace

QString NomeEstado(TEstadoEntrada estado)
{
    switch (estado) {
    case TEstadoEntrada::Aguardando:
        return QStringLiteral("aguardando");
    case TEstadoEntrada::Gravado:
        return QStringLiteral("gravado");
    case TEstadoEntrada::Retido:
        return QStringLiteral("retido");
    case TEstadoEntrada::Descartado:
        return QStringLiteral("descartado");
    case TEstadoEntrada::Repetido:
        return QStringLiteral("repetido");
    }
    return {};
}

std::optional<TEstadoEntrada> EstadoDoNome(const QString& nome)
{
    for (TEstadoEntrada e : {TEstadoEntrada::Aguardando, TEstadoEntrada::Gravado, TEstadoEntrada::Retido,
                             TEstadoEntrada::Descartado, TEstadoEntrada::Repetido})
        if (NomeEstado(e) == nome)
            return e;
    return std::nullopt;
}

QString TDiario::ArquivoDoPosto(const QString& pasta)
{
    return (pasta.isEmpty() || pasta.endsWith('/') ? pasta : pasta + '/') + QStringLiteral("Diario.sqlite");
}

QString TDiario::Mensagem(const QString& acao, int codigo) const
{
    const int sistema = FBanco ? sqlite3_system_errno(FBanco) : 0;
    QString motivo;
    if (codigo == SQLITE_CANTOPEN_SYMLINK)
        return QStringLiteral("Não foi possível %1 o diário %2: no lugar do arquivo há um link, e o Linkor não os "
                              "segue na pasta do posto: apague-o")
            .arg(acao, FCaminho);
    switch (codigo & 0xff) {
    case SQLITE_FULL:
        motivo = QStringLiteral("disco cheio");
        break;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_CANTOPEN:
        motivo = MotivoSemGravacao(FCaminho);
        if (motivo.isEmpty())
            motivo = sistema ? TextoErrno(sistema) : QString::fromUtf8(sqlite3_errstr(codigo));
        break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        motivo = QStringLiteral("o arquivo ficou ocupado por outro programa por mais de %1 segundos")
                     .arg(kEsperaMs / 1000);
        break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        motivo = QStringLiteral("o arquivo está danificado");
        break;
    case SQLITE_IOERR:
        if (sistema == ENOSPC || sistema == EDQUOT || sistema == EROFS || sistema == EACCES)
            motivo = TextoErrno(sistema);
        else
            motivo = QStringLiteral("erro de leitura ou gravação no disco (%1)")
                         .arg(sistema ? TextoErrno(sistema) : QString::fromUtf8(sqlite3_errstr(codigo)));
        break;
    default:
        motivo = QString::fromUtf8(sqlite3_errstr(codigo));
    }
    return QStringLiteral("Não foi possível %1 o diário %2: %3").arg(acao, FCaminho, motivo);
}

template <typename F> auto TDiario::Protege(const QString& acao, F&& f)
{
    try {
        return f();
    } catch (const EFalhaSqlite& e) {
        throw EErroDiario(Mensagem(acao, e.Codigo));
    } catch (const EDanificado&) {
        throw EErroDiario(Mensagem(acao, SQLITE_CORRUPT));
    }
}

// One write transaction, taken at once (no upgrade from a read lock that could deadlock with the
// other holder) and committed before it returns; rolled back whole on any failure.
template <typename F> auto TDiario::Transacao(F&& f)
{
    return Protege(QStringLiteral("gravar"), [&] {
        Executa(FBanco, "BEGIN IMMEDIATE");
        try {
            if constexpr (std::is_void_v<decltype(f())>) {
                f();
                Executa(FBanco, "COMMIT");
            } else {
                auto resultado = f();
                Executa(FBanco, "COMMIT");
                return resultado;
            }
        } catch (...) {
            sqlite3_exec(FBanco, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    });
}

TDiario::TDiario(const QString& caminho, TAberturaDiario abertura) : FCaminho(caminho)
{
    try {
        Abre();
    } catch (const EDanificado&) {
        Fecha();
        if (abertura == TAberturaDiario::SoAbre)
            throw EErroDiario(QStringLiteral("Não foi possível ler o diário %1: o arquivo está danificado").arg(FCaminho));
        Afasta();
        try {
            Abre();
        } catch (const EDanificado&) {
            Fecha();
            throw EErroDiario(
                QStringLiteral("Não foi possível criar o diário %1: o arquivo novo também está danificado").arg(FCaminho));
        } catch (...) {
            Fecha();
            throw;
        }
    } catch (...) {
        Fecha();
        throw;
    }
}

TDiario::~TDiario()
{
    Fecha();
}

void TDiario::Fecha()
{
    if (FBanco)
        sqlite3_close_v2(FBanco);
    FBanco = nullptr;
}

void TDiario::Abre()
{
    try {
        const int r = sqlite3_open_v2(QFile::encodeName(FCaminho).constData(), &FBanco,
                                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW, nullptr);
        if (r != SQLITE_OK)
            Falha(FBanco, r);
        sqlite3_extended_result_codes(FBanco, 1);
        sqlite3_busy_timeout(FBanco, kEsperaMs);
        // Until the file is known to be a journal, closing must not fold its -wal into it.
        sqlite3_db_config(FBanco, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        {
            // Anything that does not even begin as a SQLite file is set aside before SQLite
            // touches it or its -wal.
            QFile arquivo(FCaminho);
            if (arquivo.open(QIODevice::ReadOnly) && arquivo.size() > 0
                && arquivo.read(16) != QByteArray("SQLite format 3", 16))
                throw EDanificado{};
        }
        if (sqlite3_db_readonly(FBanco, "main") == 1)
            throw EFalhaSqlite{SQLITE_READONLY, 0, {}};
        auto versao = [&] {
            TComando v(FBanco, "PRAGMA user_version");
            v.Passo();
            return v.Inteiro(0);
        };
        auto tabelas = [&](const char* sql) {
            TComando t(FBanco, sql);
            t.Passo();
            return t.Inteiro(0);
        };
        // Nothing is written before the file is known to be ours (or empty).
        const qint64 lida = versao();
        if (lida > kVersaoEsquema)
            throw EErroDiario(
                QStringLiteral("Não foi possível abrir o diário %1: ele foi criado por uma versão mais nova do Linkor")
                    .arg(FCaminho));
        if (lida == 0) {
            if (tabelas("SELECT count(*) FROM sqlite_master") != 0) // another program's database
                throw EDanificado{};
        } else {
            // A file cut short or overwritten in the middle opens fine and fails later: look at
            // every page now, while it can still be set aside whole.
            TComando verifica(FBanco, "PRAGMA quick_check");
            if (!verifica.Passo() || verifica.Texto(0) != QLatin1String("ok"))
                throw EDanificado{};
            if (tabelas("SELECT count(*) FROM sqlite_master WHERE type='table' AND name='entradas'") != 1)
                throw EDanificado{};
        }
        {
            TComando modo(FBanco, "PRAGMA journal_mode=WAL");
            if (!modo.Passo() || modo.Texto(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
                throw EFalhaSqlite{SQLITE_READONLY, 0, {}};
        }
        Executa(FBanco, "PRAGMA synchronous=FULL");
        if (lida == 0) {
            Executa(FBanco, "BEGIN IMMEDIATE");
            try {
                // Another process may have made it meanwhile.
                if (versao() == 0) {
                    if (tabelas("SELECT count(*) FROM sqlite_master") != 0)
                        throw EDanificado{};
                    Executa(FBanco, kEsquema);
                    Executa(FBanco, ("PRAGMA user_version=" + std::to_string(kVersaoEsquema)).c_str());
                }
                Executa(FBanco, "COMMIT");
            } catch (...) {
                sqlite3_exec(FBanco, "ROLLBACK", nullptr, nullptr, nullptr);
                throw;
            }
        }
        sqlite3_db_config(FBanco, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
    } catch (const EFalhaSqlite& e) {
        throw EErroDiario(Mensagem(QStringLiteral("abrir"), e.Codigo));
    }
}

void TDiario::Afasta()
{
    const QDateTime agora = QDateTime::currentDateTime();
    QString destino = FCaminho + QStringLiteral(".danificado-") + Carimbo(agora);
    for (int n = 2; QFileInfo::exists(destino) || QFileInfo::exists(destino + "-wal"); ++n)
        destino = FCaminho + QStringLiteral(".danificado-") + Carimbo(agora) + '-' + QString::number(n);
    // The -wal and -shm keep their suffix, so the three still open together for a closer look.
    for (const QString& sufixo : {QStringLiteral("-wal"), QStringLiteral("-shm"), QString()}) {
        const QByteArray de = QFile::encodeName(FCaminho + sufixo);
        if (::access(de.constData(), F_OK) != 0)
            continue;
        if (std::rename(de.constData(), QFile::encodeName(destino + sufixo).constData()) != 0)
            throw EErroDiario(QStringLiteral("O diário %1 está danificado e não foi possível afastá-lo: %2")
                                  .arg(FCaminho + sufixo, TextoErrno(errno)));
    }
    FAfastado = destino;
}

TEntradaDiario TDiario::Acrescenta(const QByteArray& bruto, const QString& layout, const TCamposDiario& campos,
                                   const QString& origem, const QDateTime& lidoEm)
{
    TEntradaDiario e;
    e.LidoEm = QDateTime::fromMSecsSinceEpoch(lidoEm.toMSecsSinceEpoch());
    e.Layout = layout;
    e.Origem = origem;
    e.Bruto = bruto;
    e.Campos = campos;
    const qint64 resumo = Resumo(bruto);
    Transacao([&] {
        TComando igual(FBanco, "SELECT numero, bruto FROM entradas WHERE resumo = ? AND estado <> 'repetido' "
                               "AND lido_em >= ? ORDER BY numero");
        igual.Liga(1, resumo).Liga(2, lidoEm.addDays(-kDiasGuardados));
        while (igual.Passo())
            if (igual.Bytes(1) == bruto) {
                e.Estado = TEstadoEntrada::Repetido;
                e.RepeteDe = igual.Inteiro(0);
                break;
            }
        TComando inclui(FBanco, "INSERT INTO entradas (lido_em, layout, origem, bruto, resumo, id, bico, data, hora, "
                                "litragem, valor_total, preco_unit, encerrante_final, cod_fid, estado, repete_de) "
                                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        inclui.Liga(1, lidoEm).Liga(2, layout).Liga(3, origem).Liga(4, bruto).Liga(5, resumo);
        inclui.Liga(6, qint64(campos.Id)).Liga(7, campos.Bico).Liga(8, campos.Data).Liga(9, campos.Hora);
        inclui.Liga(10, campos.Litragem).Liga(11, campos.ValorTotal).Liga(12, campos.PrecoUnit);
        inclui.Liga(13, campos.EncerranteFinal).Liga(14, campos.CodFid).Liga(15, NomeEstado(e.Estado));
        inclui.Liga(16, e.RepeteDe);
        inclui.Executa();
        e.Numero = sqlite3_last_insert_rowid(FBanco);
    });
    return e;
}

QList<TEntradaDiario> TDiario::Aguardando(int limite)
{
    return Protege(QStringLiteral("ler"), [&] {
        TComando c(FBanco, Selecao("WHERE estado = 'aguardando' ORDER BY numero LIMIT ?"));
        c.Liga(1, qint64(limite));
        return LeEntradas(c);
    });
}

QList<TEntradaDiario> TDiario::Retidos(int limite)
{
    return Protege(QStringLiteral("ler"), [&] {
        TComando c(FBanco, Selecao("WHERE estado = 'retido' ORDER BY numero LIMIT ?"));
        c.Liga(1, qint64(limite));
        return LeEntradas(c);
    });
}

qint64 TDiario::ContaAguardando()
{
    return Protege(QStringLiteral("ler"), [&] {
        TComando c(FBanco, "SELECT count(*) FROM entradas WHERE estado = 'aguardando'");
        c.Passo();
        return c.Inteiro(0);
    });
}

qint64 TDiario::ContaRetidos()
{
    return Protege(QStringLiteral("ler"), [&] {
        TComando c(FBanco, "SELECT count(*) FROM entradas WHERE estado = 'retido'");
        c.Passo();
        return c.Inteiro(0);
    });
}

std::optional<TEntradaDiario> TDiario::Entrada(qint64 numero)
{
    return Protege(QStringLiteral("ler"), [&]() -> std::optional<TEntradaDiario> {
        TComando c(FBanco, Selecao("WHERE numero = ?"));
        c.Liga(1, numero);
        if (!c.Passo())
            return std::nullopt;
        return LeEntrada(c);
    });
}

QList<TEntradaDiario> TDiario::Lista(TFiltroDiario filtro, const QDate& dia)
{
    QByteArray onde;
    switch (filtro) {
    case TFiltroDiario::Todos:
        onde = "1";
        break;
    case TFiltroDiario::Aguardando:
        onde = "estado = 'aguardando'";
        break;
    case TFiltroDiario::Retidos:
        onde = "estado = 'retido'";
        break;
    case TFiltroDiario::Descartados:
        onde = "estado = 'descartado'";
        break;
    case TFiltroDiario::Sumidos:
        onde = "estado = 'gravado' AND sumido <> 0";
        break;
    }
    return Protege(QStringLiteral("ler"), [&] {
        TComando c(FBanco, Selecao("WHERE " + onde + " AND lido_em >= ? AND lido_em < ? ORDER BY numero"));
        if (dia.isValid())
            c.Liga(1, dia.startOfDay()).Liga(2, dia.addDays(1).startOfDay());
        else
            c.Liga(1, std::numeric_limits<qint64>::min()).Liga(2, std::numeric_limits<qint64>::max());
        return LeEntradas(c);
    });
}

QList<TEntradaDiario> TDiario::GravadosDesde(const QDateTime& desde)
{
    return Protege(QStringLiteral("ler"), [&] {
        TComando c(FBanco, Selecao("WHERE estado = 'gravado' AND sumido = 0 AND lido_em >= ? ORDER BY numero"));
        c.Liga(1, desde);
        return LeEntradas(c);
    });
}

void TDiario::MarcaGravado(qint64 numero, qint64 sequencia, const QDate& dataGravada, const QString& codBico,
                           const QString& horaGravada, const QDateTime& quando)
{
    Transacao([&] {
        TComando c(FBanco, "UPDATE entradas SET estado = 'gravado', sequencia = ?, data_gravada = ?, cod_bico = ?, "
                           "hora_gravada = ?, gravado_em = ?, sumido = 0 WHERE numero = ?");
        c.Liga(1, sequencia).Liga(2, dataGravada.toString(Qt::ISODate)).Liga(3, codBico).Liga(4, horaGravada);
        c.Liga(5, quando).Liga(6, numero);
        c.Executa();
    });
}

bool TDiario::MarcaRetido(qint64 numero, const QString& motivo, const QDateTime& quando)
{
    return Transacao([&] {
        bool novo = true;
        {
            TComando antes(FBanco, "SELECT estado, motivo FROM entradas WHERE numero = ?");
            antes.Liga(1, numero);
            if (antes.Passo())
                novo = antes.Texto(0) != QLatin1String("retido") || antes.Texto(1) != motivo;
        }
        TComando c(FBanco, "UPDATE entradas SET estado = 'retido', motivo = ?, motivo_em = ?, "
                           "tentativas = tentativas + 1 WHERE numero = ?");
        c.Liga(1, motivo).Liga(2, quando).Liga(3, numero);
        c.Executa();
        return novo;
    });
}

void TDiario::MarcaDescartado(qint64 numero, const QString& motivo, const QString& responsavel,
                              const QDateTime& quando)
{
    Transacao([&] {
        TComando c(FBanco, "UPDATE entradas SET estado = 'descartado', motivo = ?, motivo_em = ?, responsavel = ? "
                           "WHERE numero = ?");
        c.Liga(1, motivo).Liga(2, quando).Liga(3, responsavel).Liga(4, numero);
        c.Executa();
    });
}

bool TDiario::Descarta(qint64 numero, const QString& motivo, const QString& responsavel, const QDateTime& quando)
{
    return Transacao([&] {
        TComando c(FBanco, "UPDATE entradas SET estado = 'descartado', motivo = ?, motivo_em = ?, responsavel = ?, "
                           "sumido = 0 WHERE numero = ? AND (estado IN ('aguardando', 'retido') "
                           "OR (estado = 'gravado' AND sumido <> 0))");
        c.Liga(1, motivo).Liga(2, quando).Liga(3, responsavel).Liga(4, numero);
        c.Executa();
        return sqlite3_changes(FBanco) == 1;
    });
}

void TDiario::MarcaSumido(qint64 numero, const QDateTime& quando)
{
    Transacao([&] {
        TComando c(FBanco, "UPDATE entradas SET sumido = 1, motivo = ?, motivo_em = ? WHERE numero = ? "
                           "AND estado = 'gravado'");
        c.Liga(1, QStringLiteral("gravado, mas não encontrado na tabela MvAbast")).Liga(2, quando).Liga(3, numero);
        c.Executa();
    });
}

void TDiario::RegistraTentativa(qint64 numero, const QString& motivo, const QDateTime& quando)
{
    Transacao([&] {
        TComando c(FBanco, "UPDATE entradas SET motivo = ?, motivo_em = ?, tentativas = tentativas + 1 "
                           "WHERE numero = ?");
        c.Liga(1, motivo).Liga(2, quando).Liga(3, numero);
        c.Executa();
    });
}

int TDiario::Reenvia(std::optional<qint64> numero, bool novaSequencia, const QString& responsavel,
                     const QDateTime& quando)
{
    return Transacao([&] {
        // A missing entry goes back as a new one: its old MvAbast key no longer says anything.
        TComando c(FBanco,
                   numero ? "UPDATE entradas SET estado = 'aguardando', nova_sequencia = ?, responsavel = ?, "
                            "motivo_em = ?, sumido = 0, sequencia = 0, data_gravada = '', cod_bico = '', "
                            "hora_gravada = '', gravado_em = NULL WHERE numero = ? "
                            "AND (estado = 'retido' OR (estado = 'gravado' AND sumido <> 0))"
                          : "UPDATE entradas SET estado = 'aguardando', nova_sequencia = ?, responsavel = ?, "
                            "motivo_em = ? WHERE estado = 'retido'");
        c.Liga(1, qint64(novaSequencia)).Liga(2, responsavel).Liga(3, quando);
        if (numero)
            c.Liga(4, *numero);
        c.Executa();
        return sqlite3_changes(FBanco);
    });
}

int TDiario::Poda(const QDateTime& antesDe)
{
    return Transacao([&] {
        TComando c(FBanco, "DELETE FROM entradas WHERE lido_em < ? AND (estado = 'repetido' "
                           "OR (estado = 'gravado' AND sumido = 0))");
        c.Liga(1, antesDe);
        c.Executa();
        return sqlite3_changes(FBanco);
    });
}
