#include "Banco.h"

#include "Erro.h"
#include "Ini.h"

#include <QFile>
#include <optional>

namespace {
TLeituraAlias& LeituraAlias()
{
    static TLeituraAlias leitura;
    return leitura;
}

QString ValorParametro(const QStringList& parametros, const QString& nome)
{
    for (const QString& linha : parametros) {
        const qsizetype igual = linha.indexOf('=');
        if (igual >= 0 && linha.left(igual).compare(nome, Qt::CaseInsensitive) == 0)
            return linha.mid(igual + 1);
    }
    return QString();
}

// Writes a line to the error log; a failing log must not stop the start-up.
void Registra(const TRegistroFalha& registraFalha, const QString& linha)
{
    if (!registraFalha)
        return;
    try {
        registraFalha(linha);
    } catch (const std::exception&) {
        // the box tells the operator all the same
    }
}

// One attempt; a failure leaves its line (a failing log must not stop the start-up).
bool Tenta(TConexao& conexao, const TRegistroFalha& registraFalha, QString& motivo)
{
    if (AbreConexao(conexao, &motivo))
        return true;
    Registra(registraFalha, TextoFalhaConexao(conexao, motivo));
    return false;
}

// The database location and login Caminho.ini gives, or why it gives none.
struct TCaminhoIni {
    std::optional<TArquivoIni> Arquivo;
    QString Defeito;
};

TCaminhoIni LeCaminhoIni(const QString& caminho)
{
    const QString secao = QStringLiteral("DATABASEESTOQUE");
    QFile arquivo(caminho);
    if (!arquivo.open(QIODevice::ReadOnly))
        return {std::nullopt, QStringLiteral("O arquivo Caminho.ini não pôde ser lido (%1).").arg(arquivo.errorString())};
    const QByteArray conteudo = arquivo.readAll();
    if (arquivo.error() != QFileDevice::NoError)
        return {std::nullopt, QStringLiteral("O arquivo Caminho.ini não pôde ser lido (%1).").arg(arquivo.errorString())};
    if (conteudo.trimmed().isEmpty())
        return {std::nullopt, QStringLiteral("O arquivo Caminho.ini está vazio.")};
    TArquivoIni ini = TArquivoIni::CriaDeConteudo(conteudo);
    if (ini.LeTexto(secao, QStringLiteral("CAMINHO"), QString()).trimmed().isEmpty())
        return {std::nullopt, QStringLiteral("O arquivo Caminho.ini não tem a seção [DATABASEESTOQUE] com a chave CAMINHO.")};
    return {std::move(ini), QString()};
}

// True once connected; false when the operator gave up, or the program stopped in the pause
// (`naPausa` then true).
bool AbreComRetentativa(TConexao& conexao, const TRelogio& relogio, TMensagens& mensagens,
                        const TRegistroFalha& registraFalha, QString& motivo, bool& naPausa)
{
    if (Tenta(conexao, registraFalha, motivo))
        return true;
    for (;;) {
        relogio.Dorme(7000);
        naPausa = relogio.Interrompido();
        if (naPausa) // the program is stopping: no further attempt
            return false;
        if (Tenta(conexao, registraFalha, motivo))
            return true;
        const TResposta resposta =
            mensagens.MostraMensagem(TTipoMensagem::Informacao,
                           QStringLiteral("Impossível conectar ao banco de dados. \rDeseja tentar novamente?"),
                           TBotoes::SimNao);
        if (resposta == TResposta::Nao)
            return false;
    }
}
} // namespace

TDefinicaoBanco DefinicaoDbTankora()
{
    // No login of its own: the alias's, or the client's environment (ISC_USER, ISC_PASSWORD).
    return {QStringLiteral("Tankora"), {}};
}

QStringList ParametrosAlias(const QString& alias)
{
    return LeituraAlias() ? LeituraAlias()(alias) : QStringList();
}

void DefineLeituraAlias(TLeituraAlias leitura)
{
    LeituraAlias() = std::move(leitura);
}

void AbreBanco(TConexao& conexao, const TRelogio& relogio, TMensagens& mensagens, const TDefinicaoBanco& banco,
               const TRegistroFalha& registraFalha)
{
    const QString prefixo = QStringLiteral("Impossível conectar ao banco de dados pelo seguinte motivo: \r");
    QString origem;
    try {
        const QString ini = LocalizaArquivo(relogio.PastaAtual(), QStringLiteral("caminho.ini"));
        const TCaminhoIni caminho = ini.isEmpty() ? TCaminhoIni() : LeCaminhoIni(ini);
        conexao.Desconecta();
        // Whatever was configured before is forgotten: only what is read now may be opened.
        for (const char* nome : {"DataBase", "User_Name", "Password"})
            conexao.DefineParametro(QString::fromLatin1(nome), QString());
        if (caminho.Arquivo) {
            const TArquivoIni& arquivo = *caminho.Arquivo;
            const QString secao = QStringLiteral("DATABASEESTOQUE");
            conexao.DefineParametro(QStringLiteral("DataBase"), arquivo.LeTexto(secao, QStringLiteral("CAMINHO"), QString()));
            conexao.DefineParametro(QStringLiteral("User_Name"), arquivo.LeTexto(secao, QStringLiteral("USUARIO"), QString()));
            conexao.DefineParametro(QStringLiteral("Password"), arquivo.LeTexto(secao, QStringLiteral("SENHA"), QString()));
            origem = QStringLiteral("indicado em Caminho.ini");
        } else {
            // A file that names no database stops the start: falling back to another database
            // would store the station's fuelings where nobody looks for them.
            if (!caminho.Defeito.isEmpty())
                throw EErro(caminho.Defeito);
            ConfiguraConexao(conexao, banco);
            origem = QStringLiteral("padrão (não há Caminho.ini)");
        }
    } catch (const std::exception& erro) {
        throw EErro(prefixo + MensagemDe(erro));
    }
    QString motivo;
    bool naPausa = false;
    if (!AbreComRetentativa(conexao, relogio, mensagens, registraFalha, motivo, naPausa)) {
        // Stopped in the pause: the line says what start-up was doing.
        if (naPausa)
            motivo += QStringLiteral(" (Linkor encerrado enquanto aguardava a próxima tentativa)");
        throw EErro(OcultaSenha(conexao, prefixo + QStringLiteral("o banco de dados %1 %2 não pôde ser aberto: %3")
                                              .arg(conexao.Parametro(QStringLiteral("Database")), origem, motivo)));
    }
}

bool AbreConexao(TConexao& conexao, QString* motivo)
{
    try {
        conexao.Conecta();
        return true;
    } catch (const std::exception& erro) {
        if (motivo)
            *motivo = MensagemDe(erro);
        return false; // the caller's retry loop is the report
    }
}

QString OcultaSenha(const TConexao& conexao, QString texto)
{
    // Very short passwords would mask ordinary letters; the server never echoes one anyway.
    const QString senha = conexao.Parametro(QStringLiteral("Password"));
    if (senha.size() >= 4)
        texto.replace(senha, QStringLiteral("****"));
    return texto;
}

QString TextoFalhaConexao(const TConexao& conexao, const QString& motivo)
{
    QString local = conexao.Parametro(QStringLiteral("Database"));
    if (local.isEmpty())
        local = QStringLiteral("(nenhum)");
    return OcultaSenha(conexao, QStringLiteral("Não foi possível conectar ao banco de dados %1 (usuário %2): %3")
                                    .arg(local, conexao.Parametro(QStringLiteral("User_Name")),
                                         QString(motivo).replace('\n', ' ')));
}

void ConfiguraConexao(TConexao& conexao, const TDefinicaoBanco& banco)
{
    QString servidor = ValorParametro(banco.Parametros, QStringLiteral("SERVER NAME"));
    const QString usuario = ValorParametro(banco.Parametros, QStringLiteral("USER NAME")).trimmed();
    const QString senha = ValorParametro(banco.Parametros, QStringLiteral("PASSWORD"));
    QString usuarioAlias;
    QString senhaAlias;
    if (servidor.trimmed().isEmpty() || usuario.isEmpty()) {
        const QStringList alias = ParametrosAlias(banco.Alias);
        if (servidor.trimmed().isEmpty())
            servidor = ValorParametro(alias, QStringLiteral("SERVER NAME"));
        usuarioAlias = ValorParametro(alias, QStringLiteral("USER NAME"));
        senhaAlias = ValorParametro(alias, QStringLiteral("PASSWORD"));
    }
    if (servidor.trimmed().isEmpty()) {
        QString diretorio;
        ExtraiCaminhoAlias(banco.Alias, 13, diretorio);
        servidor = diretorio + QStringLiteral("Tankora.gdb");
    }
    conexao.DefineParametro(QStringLiteral("DataBase"), servidor);
    // The login goes with the database it came with: the definition's, else the alias's.
    const bool daDefinicao = !usuario.isEmpty();
    conexao.DefineParametro(QStringLiteral("User_Name"), daDefinicao ? usuario : usuarioAlias);
    conexao.DefineParametro(QStringLiteral("Password"), daDefinicao ? senha : senhaAlias);
}

void ExtraiCaminhoAlias(const QString& alias, int inicio, QString& diretorio)
{
    const QStringList parametros = ParametrosAlias(alias);
    QString texto;
    for (const QString& linha : parametros)
        texto += linha + QStringLiteral("\r\n");
    const qsizetype posicao = texto.toUpper().indexOf(alias.toUpper()) + 1; // 1-based, 0 when absent
    const QString primeira = parametros.value(0);
    const qsizetype quantos = posicao - inicio;
    diretorio = quantos > 0 ? primeira.mid(qMax(0, inicio - 1), quantos).trimmed() : QString();
}
