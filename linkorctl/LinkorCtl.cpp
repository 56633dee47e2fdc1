// linkorctl: the station's state at a glance, its fuelings as they are stored, and the operator's
// steps (totalizers, prices, blocking, capture, clock, poll interval, the journal), asked of the
// running service (linkor-servico) on the system bus. It holds no lock and opens no station file:
// the bus lets members of the group linkor (and root) in, and refuses everyone else; the service
// checks every value and logs every step under the caller's login.
#include "NomesBarramento.h"
#include "SinaisTermino.h"
#include "proxyposto.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>

#include <cstdio>

namespace {

// Exit codes a script can rely on.
enum TSaida {
    kOk = 0,
    kErroDoServico = 1, // the service answered with an error, or did only part of what was asked
    kUso = 2,
    kInalcancavel = 3, // no bus, or the service is not on it (or does not answer)
    kNegado = 4,       // the bus refused: the user is not allowed
};

// How long a question to the service may take.
constexpr int kEsperaRespostaMs = 15000;
// How long an operator's step may take: it waits for the engine's tick and then for the
// concentrator, one nozzle after another, each silent one up to the line's own timeout.
constexpr int kEsperaOperacaoMs = 300000;

struct EFim {
    int Codigo;
    QString Mensagem;
};

void Escreve(std::FILE* saida, const QString& texto)
{
    std::fputs(texto.toUtf8().constData(), saida);
    std::fputc('\n', saida);
    std::fflush(saida);
}

QString Ajuda()
{
    return QStringLiteral(
        "Uso: linkorctl COMANDO [ARGUMENTOS]\n"
        "\n"
        "Consulta e opera o Linkor em execução (o serviço linkor-servico) pelo barramento do sistema.\n"
        "\n"
        "Comandos:\n"
        "  estado      Mostra o estado do posto: versão, situação, aviso, abastecimentos aguardando e\n"
        "              retidos no diário, o último gravado, os do dia, o intervalo de leitura e o modo tag.\n"
        "  acompanha   Mostra cada abastecimento gravado (a linha do log) e cada aviso, à medida que\n"
        "              acontecem, até Ctrl+C.\n"
        "  bicos       Lista os bicos do posto com o preço e o último encerrante gravado.\n"
        "  encerrantes [BICO...] [--grava]\n"
        "              Lê no concentrador os encerrantes dos bicos (todos, sem BICO); com --grava, grava-os\n"
        "              no turno aberto (todos ou nenhum).\n"
        "  preco BICO VALOR\n"
        "              Altera o preço do bico no banco e na bomba (VALOR como o operador escreve: 6,55).\n"
        "  bloqueia BICO...  /  libera BICO...\n"
        "              Bloqueia ou libera os bicos no concentrador.\n"
        "  captura ID  Busca no concentrador o abastecimento com este ID e o grava.\n"
        "  relogio     Acerta a data e a hora do concentrador pelas do computador do serviço.\n"
        "  intervalo SEGUNDOS\n"
        "              Altera o intervalo entre duas leituras do concentrador.\n"
        "  diario lista [--aguardando|--retidos|--descartados|--sumidos] [--dia DD/MM/AAAA]\n"
        "              Lista as entradas do diário.\n"
        "  diario reenvia N|--todos [--nova-sequencia]\n"
        "              Devolve à espera a entrada retida (ou sumida) N, ou todas as retidas.\n"
        "\n"
        "BICO é o código do bico no posto (Bombas.CodBico), como as janelas mostram.\n"
        "\n"
        "Opções:\n"
        "  --help, --ajuda   Mostra este texto.\n"
        "\n"
        "Só root e os membros do grupo linkor são atendidos.\n"
        "\n"
        "Códigos de saída: 0 feito; 1 o serviço respondeu com um erro ou fez só parte do pedido; 2 uso\n"
        "incorreto; 3 o serviço não pode ser alcançado (parado, ou sem barramento do sistema); 4 acesso\n"
        "negado pelo barramento.\n");
}

// A refusal or a silence of the bus, as the exit code and the message that names its cause.
EFim FalhaDoBarramento(const QDBusError& erro)
{
    switch (erro.type()) {
    case QDBusError::AccessDenied:
        return {kNegado, QStringLiteral("acesso negado: o usuário precisa pertencer ao grupo %1 "
                                        "(adduser USUÁRIO %1, e entrar de novo no sistema)")
                             .arg(kGrupoOperadores)};
    case QDBusError::ServiceUnknown:
    case QDBusError::UnknownObject:
    case QDBusError::Disconnected:
        return {kInalcancavel, QStringLiteral("o serviço do Linkor não está no barramento do sistema "
                                              "(systemctl status linkor-servico)")};
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
        return {kInalcancavel, QStringLiteral("o serviço do Linkor não respondeu pelo barramento do sistema")};
    default:
        if (erro.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
            return FalhaDoBarramento(QDBusError(QDBusError::ServiceUnknown, erro.message()));
        return {kErroDoServico, erro.message()};
    }
}

QDBusConnection Conecta()
{
    QDBusConnection barramento = QDBusConnection::systemBus();
    if (barramento.isConnected())
        return barramento;
    const QDBusError erro = barramento.lastError();
    if (erro.type() == QDBusError::AccessDenied)
        throw FalhaDoBarramento(erro);
    const QString causa = erro.message().isEmpty() ? erro.name() : erro.message();
    throw EFim{kInalcancavel,
               QStringLiteral("o barramento do sistema não está disponível (%1): o serviço do Linkor não pode ser "
                              "alcançado")
                   .arg(causa)};
}

// All the station's properties in one question; the first question tells whether the service is
// there and the user may ask.
QVariantMap Propriedades(QDBusConnection& barramento)
{
    QDBusMessage pedido = QDBusMessage::createMethodCall(kNomeBarramento, kCaminhoPosto,
                                                         QStringLiteral("org.freedesktop.DBus.Properties"),
                                                         QStringLiteral("GetAll"));
    pedido << kInterfacePosto;
    const QDBusMessage resposta = barramento.call(pedido, QDBus::Block, kEsperaRespostaMs);
    if (resposta.type() == QDBusMessage::ErrorMessage)
        throw FalhaDoBarramento(QDBusError(resposta));
    return qdbus_cast<QVariantMap>(resposta.arguments().value(0));
}

QString Texto(const QVariantMap& propriedades, const char* nome)
{
    const QVariant valor = propriedades.value(QLatin1String(nome));
    return valor.isValid() ? valor.toString() : QStringLiteral("(não informado)");
}

int Estado(QDBusConnection& barramento)
{
    const QVariantMap p = Propriedades(barramento);
    const QString aviso = Texto(p, "Aviso");
    QStringList linhas;
    linhas << QStringLiteral("Versão: ") + Texto(p, "Versao")
           << QStringLiteral("Situação: ") + Texto(p, "Status").trimmed();
    if (aviso.isEmpty()) {
        linhas << QStringLiteral("Aviso: nenhum");
    } else {
        // One paragraph per line; the kinds after them, for a script.
        for (const QString& paragrafo : aviso.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            linhas << QStringLiteral("Aviso: ") + paragrafo;
        linhas << QStringLiteral("Tipo do aviso: ") + Texto(p, "TipoAviso");
    }
    const QString ultimo = Texto(p, "UltimoGravado");
    const int intervalo = p.value(QStringLiteral("IntervaloLeitura")).toInt();
    linhas << QStringLiteral("Aguardando no diário: ") + Texto(p, "Aguardando")
           << QStringLiteral("Retidos no diário: ") + Texto(p, "Retidos")
           << QStringLiteral("Último gravado: ")
                  + (ultimo.isEmpty() ? QStringLiteral("nenhum")
                                      : ultimo.section(QLatin1Char(' '), 0, 1) + QStringLiteral(", bico ")
                                            + ultimo.section(QLatin1Char(' '), 2))
           << QStringLiteral("Abastecimentos do dia: ") + Texto(p, "AbastecimentosDoDia")
           << QStringLiteral("Intervalo de leitura: ")
                  + (intervalo > 0 ? QStringLiteral("%1 s").arg(intervalo) : QStringLiteral("0 (leitura parada)"))
           << QStringLiteral("Modo tag: ") + (p.value(QStringLiteral("ModoTag")).toBool() ? QStringLiteral("sim")
                                                                                          : QStringLiteral("não"));
    Escreve(stdout, linhas.join(QLatin1Char('\n')));
    return kOk;
}

void EscreveAviso(const QString& aviso)
{
    if (aviso.isEmpty()) {
        Escreve(stdout, QStringLiteral("Aviso: normalizado"));
        return;
    }
    for (const QString& paragrafo : aviso.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        Escreve(stdout, QStringLiteral("Aviso: ") + paragrafo);
}

int Acompanha(QCoreApplication& aplicacao, QDBusConnection& barramento)
{
    TProxyPosto posto(kNomeBarramento, kCaminhoPosto, barramento);
    QObject::connect(&posto, &TProxyPosto::LinhaAbastecimento, &aplicacao,
                     [](const QString& linha) { Escreve(stdout, linha); });
    QObject::connect(&posto, &TProxyPosto::AvisoAlterado, &aplicacao,
                     [](const QString& aviso, const QString&) { EscreveAviso(aviso); });
    QObject::connect(&posto, &TProxyPosto::Mensagem, &aplicacao, [](const QString& texto) {
        for (const QString& linha : texto.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            Escreve(stdout, QStringLiteral("Mensagem: ") + linha);
    });
    // The service restarted (an upgrade, the watchdog): said, and followed again when it is back.
    QDBusServiceWatcher vigia(kNomeBarramento, barramento,
                              QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(&vigia, &QDBusServiceWatcher::serviceUnregistered, &aplicacao, [] {
        Escreve(stderr, QStringLiteral("linkorctl: o serviço do Linkor saiu do barramento; aguardando a volta"));
    });
    QObject::connect(&vigia, &QDBusServiceWatcher::serviceRegistered, &aplicacao, [] {
        Escreve(stderr, QStringLiteral("linkorctl: o serviço do Linkor voltou ao barramento"));
    });
    // After the subscriptions, which the bus takes in order: once this answers, nothing is missed.
    // It also tells whether the service is there and the user may hear it.
    const QVariantMap atual = Propriedades(barramento);
    Escreve(stderr, QStringLiteral("linkorctl: acompanhando o posto (Ctrl+C termina)"));
    // A notice in force is the first thing said; then every fueling line and notice as it comes.
    if (!atual.value(QStringLiteral("Aviso")).toString().isEmpty())
        EscreveAviso(atual.value(QStringLiteral("Aviso")).toString());
    InstalaSinaisTermino(&aplicacao, [&aplicacao] { aplicacao.exit(kOk); });
    return aplicacao.exec();
}

// An operator's step: its answer's arguments. The service's own refusal (a value it would not take,
// a nozzle that did not answer) is its message and code 1.
QVariantList Opera(const QString& metodo, const QVariantList& argumentos = {})
{
    QDBusMessage pedido = QDBusMessage::createMethodCall(kNomeBarramento, kCaminhoPosto, kInterfacePosto, metodo);
    pedido.setArguments(argumentos);
    QDBusMessage resposta;
    QString conexao;
    {
        // Connected only now: a mistyped command is told as such, whatever the bus.
        QDBusConnection barramento = Conecta();
        conexao = barramento.name();
        resposta = barramento.call(pedido, QDBus::Block, kEsperaOperacaoMs);
    }
    // Nothing more to ask: closed before the program ends, so the bus's thread is not left
    // delivering into a process that is tearing itself down.
    QDBusConnection::disconnectFromBus(conexao);
    if (resposta.type() != QDBusMessage::ErrorMessage)
        return resposta.arguments();
    if (resposta.errorName() == kErroPosto)
        throw EFim{kErroDoServico, resposta.errorMessage()};
    const QDBusError erro(resposta);
    if (erro.type() == QDBusError::NoReply || erro.type() == QDBusError::Timeout)
        throw EFim{kInalcancavel, QStringLiteral("o serviço do Linkor não respondeu a tempo; a operação pode ter sido "
                                                 "feita: confira em LogOperacoes, na pasta do posto")};
    throw FalhaDoBarramento(erro);
}

QList<QVariantMap> Dicionarios(const QVariant& valor)
{
    QList<QVariantMap> lista;
    const QDBusArgument argumento = valor.value<QDBusArgument>();
    argumento >> lista;
    return lista;
}

void EscreveTexto(const QVariant& texto)
{
    Escreve(stdout, texto.toString());
}

// The arguments after the command that are not options, and whether each option given is known.
QStringList Posicionais(const QStringList& argumentos, const QStringList& opcoes, QStringList* dadas = nullptr)
{
    QStringList posicionais;
    for (const QString& a : argumentos) {
        if (!a.startsWith(QLatin1String("--"))) {
            posicionais << a;
            continue;
        }
        if (!opcoes.contains(a))
            throw EFim{kUso, QStringLiteral("opção desconhecida: %1").arg(a)};
        if (dadas)
            *dadas << a;
    }
    return posicionais;
}

int Inteiro(const QString& texto, const QString& oQue, int minimo)
{
    bool ok = false;
    const int valor = texto.trimmed().toInt(&ok);
    if (!ok || valor < minimo)
        throw EFim{kUso, QStringLiteral("%1 inválido: '%2'").arg(oQue, texto)};
    return valor;
}

int Bicos(const QStringList& argumentos)
{
    if (!argumentos.isEmpty())
        throw EFim{kUso, QStringLiteral("bicos não aceita argumentos: %1").arg(argumentos.join(' '))};
    const QList<QVariantMap> bicos = Dicionarios(Opera(QStringLiteral("Bicos")).value(0));
    const QString formato = QStringLiteral("%1 %2 %3 %4 %5");
    Escreve(stdout, formato.arg(QStringLiteral("Bico"), -6)
                        .arg(QStringLiteral("Descrição"), -24)
                        .arg(QStringLiteral("Conc."), -5)
                        .arg(QStringLiteral("Preço"), 10)
                        .arg(QStringLiteral("Encerrante"), 16));
    for (const QVariantMap& b : bicos)
        Escreve(stdout, formato.arg(b.value("CodBico").toString(), -6)
                            .arg(b.value("Descricao").toString(), -24)
                            .arg(b.value("CodConcentrador").toString(), -5)
                            .arg(b.value("Preco").toString(), 10)
                            .arg(b.value("Encerrante").toString(), 16)
                            .trimmed());
    return kOk;
}

// One line per nozzle: its reading, or that it was not read.
int Encerrantes(const QStringList& argumentos)
{
    QStringList opcoes;
    const QStringList bicos = Posicionais(argumentos, {QStringLiteral("--grava")}, &opcoes);
    const bool grava = opcoes.contains(QStringLiteral("--grava"));
    const QVariantList resposta = Opera(grava ? QStringLiteral("GravaEncerrantes") : QStringLiteral("LeEncerrantes"),
                                        {bicos});
    QStringList naoLidos;
    for (const QVariantMap& l : Dicionarios(resposta.value(0))) {
        const QString bico = l.value("CodBico").toString();
        if (!l.value("Lido").toBool()) {
            naoLidos << bico;
            Escreve(stdout, QStringLiteral("Bico %1: não lido (o concentrador não respondeu); final mantido em %2")
                                .arg(bico, l.value("Final").toString()));
            continue;
        }
        Escreve(stdout, QStringLiteral("Bico %1: inicial %2, final %3, saída %4")
                            .arg(bico, l.value("Inicial").toString(), l.value("Final").toString(),
                                 l.value("Saida").toString()));
    }
    if (grava)
        EscreveTexto(resposta.value(1));
    if (!naoLidos.isEmpty())
        throw EFim{kErroDoServico, QStringLiteral("encerrantes não lidos dos bicos: %1").arg(naoLidos.join(", "))};
    return kOk;
}

int Preco(const QStringList& argumentos)
{
    if (argumentos.size() != 2)
        throw EFim{kUso, QStringLiteral("preco pede BICO e VALOR (por exemplo: preco 04 6,55)")};
    EscreveTexto(Opera(QStringLiteral("AlteraPrecos"),
                       {QStringList{argumentos[0]}, QStringList{argumentos[1]}})
                     .value(0));
    return kOk;
}

int Bloqueia(const QString& comando, const QStringList& argumentos)
{
    const QStringList bicos = Posicionais(argumentos, {});
    if (bicos.isEmpty())
        throw EFim{kUso, QStringLiteral("%1 pede ao menos um BICO").arg(comando)};
    EscreveTexto(Opera(comando == QLatin1String("bloqueia") ? QStringLiteral("Bloqueia") : QStringLiteral("Libera"),
                       {bicos})
                     .value(0));
    return kOk;
}

int UmInteiro(const QString& comando, const QStringList& argumentos)
{
    const bool captura = comando == QLatin1String("captura");
    if (argumentos.size() != 1)
        throw EFim{kUso, captura ? QStringLiteral("captura pede o ID do abastecimento")
                                 : QStringLiteral("intervalo pede os SEGUNDOS entre duas leituras")};
    const int valor = captura ? Inteiro(argumentos[0], QStringLiteral("ID"), 0)
                              : Inteiro(argumentos[0], QStringLiteral("intervalo"), 0);
    EscreveTexto(Opera(captura ? QStringLiteral("Captura") : QStringLiteral("DefineIntervalo"), {valor}).value(0));
    return kOk;
}

int Relogio(const QStringList& argumentos)
{
    if (!argumentos.isEmpty())
        throw EFim{kUso, QStringLiteral("relogio não aceita argumentos: %1").arg(argumentos.join(' '))};
    EscreveTexto(Opera(QStringLiteral("AcertaRelogio")).value(0));
    return kOk;
}

int Diario(const QStringList& argumentos)
{
    const QString acao = argumentos.value(0);
    QStringList opcoes;
    if (acao == QLatin1String("lista")) {
        QStringList resto = argumentos.mid(1);
        QString dia;
        const qsizetype iDia = resto.indexOf(QStringLiteral("--dia"));
        if (iDia >= 0) {
            if (iDia + 1 >= resto.size())
                throw EFim{kUso, QStringLiteral("--dia pede uma data DD/MM/AAAA")};
            dia = resto[iDia + 1];
            resto.remove(iDia, 2);
        }
        const QStringList sobra = Posicionais(
            resto, {"--aguardando", "--retidos", "--descartados", "--sumidos"}, &opcoes);
        if (!sobra.isEmpty() || opcoes.size() > 1)
            throw EFim{kUso, QStringLiteral("diario lista aceita só um de --aguardando, --retidos, --descartados e "
                                            "--sumidos, e --dia DD/MM/AAAA")};
        const QString filtro = opcoes.isEmpty() ? QString() : opcoes[0].mid(2);
        const QList<QVariantMap> entradas = Dicionarios(Opera(QStringLiteral("ListaDiario"), {filtro, dia}).value(0));
        const QString formato = QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 ");
        Escreve(stdout, formato.arg(QStringLiteral("Nº"), 6)
                            .arg(QStringLiteral("Lido em"), -19)
                            .arg(QStringLiteral("Estado"), -10)
                            .arg(QStringLiteral("ID"), 5)
                            .arg(QStringLiteral("Bico"), -4)
                            .arg(QStringLiteral("Data"), -8)
                            .arg(QStringLiteral("Hora"), -8)
                            .arg(QStringLiteral("Litros"), 9)
                            .arg(QStringLiteral("Valor"), 10)
                        + QStringLiteral("Motivo"));
        for (const QVariantMap& e : entradas)
            Escreve(stdout, (formato.arg(e.value("Numero").toLongLong(), 6)
                                 .arg(e.value("LidoEm").toString(), -19)
                                 .arg(e.value("Estado").toString(), -10)
                                 .arg(e.value("Id").toInt(), 5)
                                 .arg(e.value("Bico").toString(), -4)
                                 .arg(e.value("Data").toString(), -8)
                                 .arg(e.value("Hora").toString(), -8)
                                 .arg(QString::number(e.value("Litragem").toDouble(), 'f', 3), 9)
                                 .arg(QString::number(e.value("ValorTotal").toDouble(), 'f', 2), 10)
                             + e.value("Motivo").toString().replace('\n', ' '))
                                .trimmed());
        Escreve(stdout, entradas.size() == 1 ? QStringLiteral("1 entrada") : QStringLiteral("%1 entradas").arg(entradas.size()));
        return kOk;
    }
    if (acao == QLatin1String("reenvia")) {
        const QStringList numeros = Posicionais(argumentos.mid(1), {"--todos", "--nova-sequencia"}, &opcoes);
        const bool todos = opcoes.contains(QStringLiteral("--todos"));
        if (numeros.size() + (todos ? 1 : 0) != 1)
            throw EFim{kUso, QStringLiteral("diario reenvia pede o número de uma entrada ou --todos")};
        const qlonglong numero = todos ? 0 : Inteiro(numeros[0], QStringLiteral("número de entrada"), 1);
        EscreveTexto(Opera(QStringLiteral("ReenviaDiario"),
                           {numero, opcoes.contains(QStringLiteral("--nova-sequencia"))})
                         .value(0));
        return kOk;
    }
    throw EFim{kUso, acao.isEmpty() ? QStringLiteral("diario pede lista ou reenvia")
                                    : QStringLiteral("diario: ação desconhecida: %1").arg(acao)};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication aplicacao(argc, argv);
    aplicacao.setApplicationName(QStringLiteral("linkorctl"));
    QStringList argumentos = aplicacao.arguments().mid(1);
    try {
        if (argumentos.contains(QStringLiteral("--help")) || argumentos.contains(QStringLiteral("--ajuda"))
            || argumentos.contains(QStringLiteral("-h"))) {
            std::fputs(Ajuda().toUtf8().constData(), stdout);
            return kOk;
        }
        const QString comando = argumentos.value(0);
        const QStringList resto = argumentos.mid(1);
        static const QStringList kOperacoes{"bicos",  "encerrantes", "preco",     "bloqueia", "libera",
                                            "captura", "relogio",    "intervalo", "diario"};
        if (kOperacoes.contains(comando)) {
            if (comando == QLatin1String("bicos"))
                return Bicos(resto);
            if (comando == QLatin1String("encerrantes"))
                return Encerrantes(resto);
            if (comando == QLatin1String("preco"))
                return Preco(resto);
            if (comando == QLatin1String("bloqueia") || comando == QLatin1String("libera"))
                return Bloqueia(comando, resto);
            if (comando == QLatin1String("relogio"))
                return Relogio(resto);
            if (comando == QLatin1String("diario"))
                return Diario(resto);
            return UmInteiro(comando, resto);
        }
        if (comando != QLatin1String("estado") && comando != QLatin1String("acompanha"))
            throw EFim{kUso, comando.isEmpty() ? QStringLiteral("falta o comando")
                                               : QStringLiteral("comando desconhecido: %1").arg(comando)};
        if (argumentos.size() > 1)
            throw EFim{kUso, QStringLiteral("%1 não aceita argumentos: %2").arg(comando, argumentos.mid(1).join(' '))};
        // Before the bus's thread exists: every thread then leaves SIGINT and SIGTERM to the loop.
        if (comando == QLatin1String("acompanha"))
            BloqueiaSinaisTermino();
        QDBusConnection barramento = Conecta();
        return comando == QLatin1String("estado") ? Estado(barramento) : Acompanha(aplicacao, barramento);
    } catch (const EFim& fim) {
        Escreve(stderr, QStringLiteral("linkorctl: ") + fim.Mensagem);
        if (fim.Codigo == kUso)
            Escreve(stderr, QStringLiteral("Use linkorctl --help para ver os comandos."));
        return fim.Codigo;
    } catch (const std::exception& e) {
        Escreve(stderr, QStringLiteral("linkorctl: ") + QString::fromUtf8(e.what()));
        return kErroDoServico;
    }
}
