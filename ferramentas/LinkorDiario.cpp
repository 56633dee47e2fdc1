// linkor-diario: the technician's view of a station's journal, beside a running Linkor. It lists
// and shows entries, exports the held ones for manual entry, and asks the running engine to
// forward held entries again or records a technician's discard. It never deletes an entry, and
// changes nothing when no Linkor serves the station (nobody would forward what it changed).
#include "Diario.h"
#include "OpcoesPrograma.h"
#include "Relogio.h"
#include "TravaInstancia.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <QMap>

#include <cstdio>
#include <limits>
#include <memory>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Exit codes a script can rely on.
enum TSaida {
    kOk = 0,
    kUso = 1,
    kEntradaNaoPermite = 2, // no such entry, or not in a state that allows it
    kSemLinkor = 3,
    kDiarioInacessivel = 4,
};

QTextStream& Saida()
{
    static QTextStream s(stdout);
    return s;
}

QTextStream& Erros()
{
    static QTextStream s(stderr);
    return s;
}

QString Ajuda(const QString& pastaPadrao)
{
    return QStringLiteral(
               "Uso: linkor-diario [--pasta PASTA] COMANDO [OPÇÕES]\n"
               "\n"
               "Mostra e trata o diário de abastecimentos do posto (Diario.sqlite na pasta do posto): todo\n"
               "abastecimento lido do concentrador fica nele até ser gravado no banco do posto; o que o banco\n"
               "recusa fica retido, com o motivo, à espera do técnico.\n"
               "\n"
               "Comandos:\n"
               "  lista [--aguardando|--retidos|--descartados|--sumidos] [--dia DD/MM/AAAA]\n"
               "                        Lista as entradas (todas, ou só as do estado e do dia pedidos).\n"
               "  mostra N              Mostra todos os campos da entrada N e o registro em hexadecimal.\n"
               "  reenvia N|--todos [--nova-sequencia]\n"
               "                        Devolve a entrada N (retida ou sumida), ou todas as retidas, para o\n"
               "                        Linkor em execução enviar de novo ao banco. Com --nova-sequencia, a\n"
               "                        entrada é gravada no próximo número de sequência se a chave ainda\n"
               "                        colidir (concentrador que recomeçou a numeração).\n"
               "  descarta N --motivo TEXTO\n"
               "                        Descarta a entrada N (aguardando, retida ou sumida), registrando quem\n"
               "                        e por quê. Nenhuma entrada é apagada.\n"
               "  exporta --csv         Escreve as entradas retidas em CSV (separado por ;) na saída padrão,\n"
               "                        para lançamento manual no sistema do posto.\n"
               "\n"
               "Opções:\n"
               "  --pasta PASTA         A pasta do posto (agora: %1).\n"
               "  --ajuda               Mostra este texto.\n"
               "\n"
               "reenvia e descarta só mudam algo com um Linkor (janela ou serviço) em execução para o posto.\n"
               "\n"
               "Códigos de saída: 0 feito; 1 uso incorreto; 2 entrada inexistente ou num estado que não permite\n"
               "o pedido; 3 nenhum Linkor em execução para o posto (nada mudou); 4 o diário não pode ser lido\n"
               "ou gravado.\n")
        .arg(pastaPadrao);
}

// Thrown to end with a code and a message on the error output.
struct EFim {
    int Codigo;
    QString Mensagem;
};

[[noreturn]] void ErroDeUso(const QString& mensagem)
{
    throw EFim{kUso, mensagem + QStringLiteral("\nUse linkor-diario --ajuda para ver os comandos.")};
}

QString Numero(double valor, int casas)
{
    QString texto = QString::number(valor, 'f', casas);
    texto.replace('.', ',');
    return texto;
}

QString DezMilesimos(qint64 valor, int casas)
{
    return Numero(double(valor) / 10000.0, casas);
}

QString Momento(const QDateTime& quando)
{
    return quando.isValid() ? quando.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) : QString();
}

// The state column: a stored entry that went missing from MvAbast is what the technician acts on.
QString Estado(const TEntradaDiario& e)
{
    return e.Estado == TEstadoEntrada::Gravado && e.Sumido ? QStringLiteral("sumido") : NomeEstado(e.Estado);
}

QString UmaLinha(QString texto)
{
    texto.replace(QLatin1String("\r\n"), QLatin1String(" "));
    texto.replace('\r', ' ');
    texto.replace('\n', ' ');
    return texto.simplified();
}

QString Plural(qsizetype n, const QString& um, const QString& varios)
{
    return QString::number(n) + ' ' + (n == 1 ? um : varios);
}

// The width a listing is cut to: the terminal's, or COLUMNS; none when written to a file or pipe.
int Largura()
{
    winsize janela{};
    if (::isatty(STDOUT_FILENO) && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &janela) == 0 && janela.ws_col > 0)
        return janela.ws_col;
    bool ok = false;
    const int colunas = qEnvironmentVariableIntValue("COLUMNS", &ok);
    return ok && colunas > 0 ? colunas : 0;
}

QString LoginDoUsuario()
{
    const passwd* usuario = ::getpwuid(::getuid());
    return usuario && usuario->pw_name ? QString::fromLocal8Bit(usuario->pw_name) : QString::number(::getuid());
}

// The command line, taken apart: the command, its words, and the options with their values.
struct TLinha {
    QString Comando;
    QStringList Argumentos;
    QStringList Marcas;          // options without value
    QMap<QString, QString> Valores; // options with a value
    bool Ajuda = false;
};

TLinha LeLinha(const QStringList& argumentos)
{
    static const QStringList comValor{"--pasta", "--posto", "--dia", "--motivo"};
    static const QStringList marcas{"--aguardando", "--retidos", "--descartados", "--sumidos",
                                    "--todos",      "--nova-sequencia", "--csv"};
    TLinha linha;
    for (qsizetype i = 1; i < argumentos.size(); ++i) {
        QString a = argumentos[i];
        if (a == "--ajuda" || a == "-h" || a == "--help") {
            linha.Ajuda = true;
        } else if (a.startsWith("--")) {
            QString valor;
            bool temValor = false;
            if (const qsizetype igual = a.indexOf('='); igual > 0) {
                valor = a.mid(igual + 1);
                a.truncate(igual);
                temValor = true;
            }
            if (a == "--posto")
                a = "--pasta";
            if (comValor.contains(a)) {
                if (!temValor) {
                    if (i + 1 >= argumentos.size())
                        ErroDeUso(QStringLiteral("A opção %1 precisa de um valor.").arg(a));
                    valor = argumentos[++i];
                }
                if (linha.Valores.contains(a))
                    ErroDeUso(QStringLiteral("A opção %1 foi dada mais de uma vez.").arg(a));
                linha.Valores.insert(a, valor);
            } else if (marcas.contains(a) && !temValor) {
                linha.Marcas.append(a);
            } else {
                ErroDeUso(QStringLiteral("Opção desconhecida: %1").arg(argumentos[i]));
            }
        } else if (linha.Comando.isEmpty()) {
            linha.Comando = a;
        } else {
            linha.Argumentos.append(a);
        }
    }
    return linha;
}

// Only the options `permitidas` may be given with this command, and exactly `palavras` words.
void Confere(const TLinha& linha, const QStringList& permitidas, qsizetype palavras)
{
    for (const QString& m : linha.Marcas)
        if (!permitidas.contains(m))
            ErroDeUso(QStringLiteral("O comando %1 não aceita a opção %2.").arg(linha.Comando, m));
    for (auto v = linha.Valores.cbegin(); v != linha.Valores.cend(); ++v)
        if (v.key() != "--pasta" && !permitidas.contains(v.key()))
            ErroDeUso(QStringLiteral("O comando %1 não aceita a opção %2.").arg(linha.Comando, v.key()));
    if (linha.Argumentos.size() > palavras)
        ErroDeUso(QStringLiteral("Argumento a mais para o comando %1: %2")
                      .arg(linha.Comando, linha.Argumentos.value(palavras)));
}

qint64 NumeroDaEntrada(const TLinha& linha)
{
    if (linha.Argumentos.isEmpty())
        ErroDeUso(QStringLiteral("O comando %1 precisa do número da entrada.").arg(linha.Comando));
    bool ok = false;
    const qint64 n = linha.Argumentos[0].toLongLong(&ok);
    if (!ok || n <= 0)
        ErroDeUso(QStringLiteral("'%1' não é um número de entrada.").arg(linha.Argumentos[0]));
    return n;
}

std::unique_ptr<TDiario> AbreDiario(const QString& pasta)
{
    if (!QFileInfo(pasta).isDir())
        throw EFim{kDiarioInacessivel, QStringLiteral("A pasta do posto %1 não existe.").arg(pasta)};
    const QString arquivo = TDiario::ArquivoDoPosto(pasta);
    // Never made here: a mistyped folder must not get an empty journal.
    if (!QFileInfo::exists(arquivo) && !QFileInfo(arquivo).isSymLink())
        throw EFim{kDiarioInacessivel, QStringLiteral("O diário %1 não existe: nenhum Linkor gravou abastecimentos "
                                                      "nesta pasta do posto.")
                                           .arg(arquivo)};
    try {
        // Beside a running engine a damaged file is only reported: setting it aside is the engine's.
        return std::make_unique<TDiario>(arquivo, TAberturaDiario::SoAbre);
    } catch (const EErroDiario& e) {
        throw EFim{kDiarioInacessivel, e.Mensagem()};
    }
}

// reenvia and descarta change only what a running Linkor will act on; without one, nothing.
void ExigeLinkor(const QString& pasta)
{
    TTravaInstancia trava;
    bool livre = false;
    try {
        livre = trava.AdquirePosto(pasta);
    } catch (const EErro& e) {
        throw EFim{kDiarioInacessivel, e.Mensagem()};
    }
    if (livre) {
        trava.Libera();
        throw EFim{kSemLinkor, QStringLiteral("Nenhum Linkor está em execução para este posto (pasta %1): nada foi "
                                              "mudado. Inicie o Linkor (systemctl start linkor-servico, ou a "
                                              "janela) e repita o comando.")
                                   .arg(pasta)};
    }
}

void Lista(TDiario& diario, const TLinha& linha)
{
    Confere(linha, {"--aguardando", "--retidos", "--descartados", "--sumidos", "--dia"}, 0);
    if (linha.Marcas.size() > 1)
        ErroDeUso(QStringLiteral("Dê só um de --aguardando, --retidos, --descartados e --sumidos."));
    TFiltroDiario filtro = TFiltroDiario::Todos;
    const QString marca = linha.Marcas.value(0);
    if (marca == "--aguardando")
        filtro = TFiltroDiario::Aguardando;
    else if (marca == "--retidos")
        filtro = TFiltroDiario::Retidos;
    else if (marca == "--descartados")
        filtro = TFiltroDiario::Descartados;
    else if (marca == "--sumidos")
        filtro = TFiltroDiario::Sumidos;
    QDate dia;
    if (linha.Valores.contains("--dia")) {
        dia = QDate::fromString(linha.Valores.value("--dia"), QStringLiteral("dd/MM/yyyy"));
        if (!dia.isValid())
            ErroDeUso(QStringLiteral("'%1' não é uma data DD/MM/AAAA.").arg(linha.Valores.value("--dia")));
    }
    const QList<TEntradaDiario> entradas = diario.Lista(filtro, dia);
    const int largura = Largura();
    QTextStream& s = Saida();
    // Narrow enough for an 80-column terminal to show a little of the reason; `mostra` has it all.
    const QString formato = QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 ");
    const QString cabecalho = formato.arg(QStringLiteral("Nº"), 6)
                                  .arg(QStringLiteral("Lido em"), -11)
                                  .arg(QStringLiteral("Estado"), -10)
                                  .arg(QStringLiteral("ID"), 4)
                                  .arg(QStringLiteral("Bico"), -4)
                                  .arg(QStringLiteral("Data"), -8)
                                  .arg(QStringLiteral("Hora"), -8)
                                  .arg(QStringLiteral("Litros"), 8)
                                  .arg(QStringLiteral("Valor"), 9)
                              + QStringLiteral("Motivo");
    // Cut to the width, without the blanks a cut or an empty reason leaves at the end.
    auto corta = [largura](const QString& texto) {
        QString linha = largura > 0 && texto.size() > largura ? texto.left(largura) : texto;
        while (linha.endsWith(' '))
            linha.chop(1);
        return linha;
    };
    s << corta(cabecalho) << '\n';
    for (const TEntradaDiario& e : entradas) {
        const QString linhaTabela = formato.arg(e.Numero, 6)
                                        .arg(e.LidoEm.toString(QStringLiteral("dd/MM HH:mm")), -11)
                                        .arg(Estado(e), -10)
                                        .arg(e.Campos.Id, 4)
                                        .arg(e.Campos.Bico, -4)
                                        .arg(e.Campos.Data, -8)
                                        .arg(e.Campos.Hora, -8)
                                        .arg(Numero(e.Campos.Litragem, 3), 8)
                                        .arg(DezMilesimos(e.Campos.ValorTotal, 2), 9)
                                    + UmaLinha(e.Estado == TEstadoEntrada::Repetido
                                                   ? QStringLiteral("repete a entrada %1").arg(e.RepeteDe)
                                                   : e.Motivo);
        s << corta(linhaTabela) << '\n';
    }
    s << Plural(entradas.size(), QStringLiteral("entrada"), QStringLiteral("entradas")) << '\n';
}

void Mostra(TDiario& diario, const TLinha& linha)
{
    Confere(linha, {}, 1);
    const qint64 numero = NumeroDaEntrada(linha);
    const std::optional<TEntradaDiario> entrada = diario.Entrada(numero);
    if (!entrada)
        throw EFim{kEntradaNaoPermite,
                   QStringLiteral("A entrada %1 não existe no diário %2.").arg(numero).arg(diario.Caminho())};
    const TEntradaDiario& e = *entrada;
    QTextStream& s = Saida();
    auto campo = [&s](const QString& nome, const QString& valor) {
        s << (nome + ':').leftJustified(19) << ' ' << valor << '\n';
    };
    const QString sim = QStringLiteral("sim"), nao = QStringLiteral("não");
    campo(QStringLiteral("Entrada"), QString::number(e.Numero));
    campo(QStringLiteral("Lida em"), Momento(e.LidoEm));
    campo(QStringLiteral("Origem"), e.Origem);
    campo(QStringLiteral("Layout"), QStringLiteral("%1 (%2 bytes)").arg(e.Layout).arg(e.Bruto.size()));
    campo(QStringLiteral("Estado"), Estado(e));
    campo(QStringLiteral("Motivo"), UmaLinha(e.Motivo));
    campo(QStringLiteral("Motivo em"), Momento(e.MotivoEm));
    campo(QStringLiteral("Tentativas"), QString::number(e.Tentativas));
    campo(QStringLiteral("Responsável"), e.Responsavel);
    campo(QStringLiteral("Nova sequência"), e.NovaSequencia ? sim : nao);
    campo(QStringLiteral("Sumido"), e.Sumido ? sim : nao);
    campo(QStringLiteral("Repete a entrada"), e.RepeteDe ? QString::number(e.RepeteDe) : QString());
    campo(QStringLiteral("ID"), QString::number(e.Campos.Id));
    campo(QStringLiteral("Bico"), e.Campos.Bico);
    campo(QStringLiteral("Data"), e.Campos.Data);
    campo(QStringLiteral("Hora"), e.Campos.Hora);
    campo(QStringLiteral("Litros"), Numero(e.Campos.Litragem, 3));
    campo(QStringLiteral("Preço unitário"), DezMilesimos(e.Campos.PrecoUnit, 4));
    campo(QStringLiteral("Valor total"), DezMilesimos(e.Campos.ValorTotal, 4));
    campo(QStringLiteral("Encerrante final"), Numero(e.Campos.EncerranteFinal, 3));
    campo(QStringLiteral("Código FID"), e.Campos.CodFid);
    campo(QStringLiteral("Sequência"), e.Sequencia ? QString::number(e.Sequencia) : QString());
    campo(QStringLiteral("Data gravada"), e.DataGravada.isValid() ? e.DataGravada.toString("dd/MM/yyyy") : QString());
    campo(QStringLiteral("Bico gravado"), e.CodBico);
    campo(QStringLiteral("Hora gravada"), e.HoraGravada);
    campo(QStringLiteral("Gravado em"), Momento(e.GravadoEm));
    s << QStringLiteral("Registro (%1 bytes):").arg(e.Bruto.size()) << '\n';
    for (qsizetype i = 0; i < e.Bruto.size(); i += 16) {
        const QByteArray pedaco = e.Bruto.mid(i, 16);
        QString hex, texto;
        for (qsizetype j = 0; j < 16; ++j) {
            if (j < pedaco.size()) {
                const unsigned char c = static_cast<unsigned char>(pedaco[j]);
                hex += QStringLiteral("%1 ").arg(uint(c), 2, 16, QChar('0')).toUpper();
                texto += c >= 0x20 && c < 0x7f ? QChar(c) : QChar('.');
            } else {
                hex += QLatin1String("   ");
            }
        }
        s << QStringLiteral("%1  ").arg(i, 4, 16, QChar('0')).toUpper() << hex << ' ' << texto << '\n';
    }
}

void Reenvia(TDiario& diario, const TLinha& linha, const QString& pasta)
{
    Confere(linha, {"--todos", "--nova-sequencia"}, 1);
    const bool todos = linha.Marcas.contains("--todos");
    if (todos == !linha.Argumentos.isEmpty())
        ErroDeUso(QStringLiteral("Dê o número de uma entrada ou --todos."));
    const std::optional<qint64> numero = todos ? std::nullopt : std::optional<qint64>(NumeroDaEntrada(linha));
    const bool novaSequencia = linha.Marcas.contains("--nova-sequencia");
    ExigeLinkor(pasta);
    const int quantas = diario.Reenvia(numero, novaSequencia, LoginDoUsuario(), QDateTime::currentDateTime());
    if (quantas == 0) {
        if (todos) {
            Saida() << QStringLiteral("Nenhuma entrada retida para reenviar.") << '\n';
            return;
        }
        const std::optional<TEntradaDiario> e = diario.Entrada(*numero);
        if (!e)
            throw EFim{kEntradaNaoPermite,
                       QStringLiteral("A entrada %1 não existe no diário %2.").arg(*numero).arg(diario.Caminho())};
        throw EFim{kEntradaNaoPermite, QStringLiteral("A entrada %1 está %2: só uma entrada retida ou sumida pode "
                                                      "ser reenviada.")
                                           .arg(*numero)
                                           .arg(Estado(*e))};
    }
    Saida() << (quantas == 1 ? QStringLiteral("1 entrada voltou a aguardar")
                             : QStringLiteral("%1 entradas voltaram a aguardar").arg(quantas))
            << (novaSequencia ? QStringLiteral(" (com nova sequência se a chave ainda colidir)") : QString())
            << QStringLiteral(": o Linkor em execução as envia ao banco em instantes.") << '\n';
}

void Descarta(TDiario& diario, const TLinha& linha, const QString& pasta)
{
    Confere(linha, {"--motivo"}, 1);
    const qint64 numero = NumeroDaEntrada(linha);
    const QString motivo = UmaLinha(linha.Valores.value("--motivo"));
    if (motivo.isEmpty())
        ErroDeUso(QStringLiteral("Diga por que a entrada é descartada: --motivo TEXTO."));
    ExigeLinkor(pasta);
    const QString usuario = LoginDoUsuario();
    if (!diario.Descarta(numero, motivo, usuario, QDateTime::currentDateTime())) {
        const std::optional<TEntradaDiario> e = diario.Entrada(numero);
        if (!e)
            throw EFim{kEntradaNaoPermite,
                       QStringLiteral("A entrada %1 não existe no diário %2.").arg(numero).arg(diario.Caminho())};
        throw EFim{kEntradaNaoPermite, QStringLiteral("A entrada %1 está %2: só uma entrada aguardando, retida ou "
                                                      "sumida pode ser descartada.")
                                           .arg(numero)
                                           .arg(Estado(*e))};
    }
    Saida() << QStringLiteral("Entrada %1 descartada por %2: %3").arg(numero).arg(usuario, motivo) << '\n';
}

QString CampoCsv(QString texto)
{
    if (texto.contains(';') || texto.contains('"') || texto.contains('\n') || texto.contains('\r')) {
        texto.replace('"', QLatin1String("\"\""));
        texto = '"' + texto + '"';
    }
    return texto;
}

void Exporta(TDiario& diario, const TLinha& linha)
{
    Confere(linha, {"--csv"}, 0);
    if (!linha.Marcas.contains("--csv"))
        ErroDeUso(QStringLiteral("Diga o formato: exporta --csv."));
    QTextStream& s = Saida();
    s << "Entrada;Lido em;ID;Bico;Data;Hora;Litros;Preço unitário;Valor total;Encerrante final;Código FID;Motivo\r\n";
    for (const TEntradaDiario& e : diario.Retidos(std::numeric_limits<int>::max())) {
        const QStringList campos{QString::number(e.Numero),
                                 Momento(e.LidoEm),
                                 QString::number(e.Campos.Id),
                                 e.Campos.Bico,
                                 e.Campos.Data,
                                 e.Campos.Hora,
                                 Numero(e.Campos.Litragem, 3),
                                 DezMilesimos(e.Campos.PrecoUnit, 4),
                                 DezMilesimos(e.Campos.ValorTotal, 2),
                                 Numero(e.Campos.EncerranteFinal, 3),
                                 e.Campos.CodFid,
                                 UmaLinha(e.Motivo)};
        QStringList escritos;
        for (const QString& c : campos)
            escritos.append(CampoCsv(c));
        s << escritos.join(';') << "\r\n";
    }
}

int Executa(const QStringList& argumentos)
{
    const TLinha linha = LeLinha(argumentos);
    // The folder the service and the window use: --pasta, LINKOR_POSTO, POSTO in the technician's
    // configuration, the package's folder, or beside the executable in a build tree.
    const QString pasta = TRelogio(EscolhePastaPosto(linha.Valores.value("--pasta"))).PastaExecutavel();
    if (linha.Ajuda) {
        Saida() << Ajuda(pasta);
        return kOk;
    }
    static const QStringList comandos{"lista", "mostra", "reenvia", "descarta", "exporta"};
    if (linha.Comando.isEmpty())
        ErroDeUso(QStringLiteral("Falta o comando."));
    if (!comandos.contains(linha.Comando))
        ErroDeUso(QStringLiteral("Comando desconhecido: %1").arg(linha.Comando));
    std::unique_ptr<TDiario> diario = AbreDiario(pasta);
    try {
        if (linha.Comando == "lista")
            Lista(*diario, linha);
        else if (linha.Comando == "mostra")
            Mostra(*diario, linha);
        else if (linha.Comando == "reenvia")
            Reenvia(*diario, linha, pasta);
        else if (linha.Comando == "descarta")
            Descarta(*diario, linha, pasta);
        else
            Exporta(*diario, linha);
    } catch (const EErroDiario& e) {
        throw EFim{kDiarioInacessivel, e.Mensagem()};
    }
    return kOk;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication aplicacao(argc, argv);
    // What the tool creates beside the journal (its -wal and -shm when no Linkor has them open)
    // stays the station group's, as the program's own files do.
    const mode_t mascara = ::umask(0);
    ::umask((mascara & ~mode_t(S_IWGRP | S_IRGRP)) | S_IRWXO);
    int codigo = kOk;
    try {
        codigo = Executa(QCoreApplication::arguments());
    } catch (const EFim& fim) {
        Saida().flush();
        Erros() << fim.Mensagem << '\n';
        codigo = fim.Codigo;
    } catch (const std::exception& e) {
        Saida().flush();
        Erros() << MensagemDe(e) << '\n';
        codigo = kDiarioInacessivel;
    }
    Saida().flush();
    Erros().flush();
    return codigo;
}
