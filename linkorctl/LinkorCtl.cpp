// linkorctl: the station's state at a glance and its fuelings as they are stored, asked of the
// running service (linkor-servico) on the system bus. It holds no lock and opens no station file:
// the bus lets members of the group linkor (and root) in, and refuses everyone else.
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
    kErroDoServico = 1, // the service answered with an error
    kUso = 2,
    kInalcancavel = 3, // no bus, or the service is not on it (or does not answer)
    kNegado = 4,       // the bus refused: the user is not allowed
};

// How long a question to the service may take.
constexpr int kEsperaRespostaMs = 15000;

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
        "Uso: linkorctl COMANDO\n"
        "\n"
        "Consulta o Linkor em execução (o serviço linkor-servico) pelo barramento do sistema.\n"
        "\n"
        "Comandos:\n"
        "  estado      Mostra o estado do posto: versão, situação, aviso, abastecimentos aguardando e\n"
        "              retidos no diário, o último gravado, os do dia, o intervalo de leitura e o modo tag.\n"
        "  acompanha   Mostra cada abastecimento gravado (a linha do log) e cada aviso, à medida que\n"
        "              acontecem, até Ctrl+C.\n"
        "\n"
        "Opções:\n"
        "  --help, --ajuda   Mostra este texto.\n"
        "\n"
        "Só root e os membros do grupo linkor são atendidos.\n"
        "\n"
        "Códigos de saída: 0 feito; 1 o serviço respondeu com um erro; 2 uso incorreto; 3 o serviço não\n"
        "pode ser alcançado (parado, ou sem barramento do sistema); 4 acesso negado pelo barramento.\n");
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
