#include "PostoPublicado.h"

#include "NomesBarramento.h"
#include "adaptadorposto.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QRegularExpression>

#include <pwd.h>

TPostoPublicado::TPostoPublicado(const QString& versao, QObject* parent) : QObject(parent), FVersao(versao)
{
    FEstado.Status = QStringLiteral("Iniciando"); // until the engine says anything
    qDBusRegisterMetaType<QList<QVariantMap>>();
    // The adaptor belongs to this object and relays its signals.
    new TAdaptadorPosto(this);
}

bool TPostoPublicado::Registra(QDBusConnection conexao, QString* erro)
{
    auto falha = [erro](const QString& motivo) {
        if (erro)
            *erro = motivo;
        return false;
    };
    if (!conexao.isConnected())
        return falha(QStringLiteral("barramento do sistema indisponível (%1)").arg(conexao.lastError().message()));
    // The object first: a client that sees the name finds the object behind it.
    if (!conexao.registerObject(kCaminhoPosto, this))
        return falha(QStringLiteral("o objeto %1 já está registrado nesta conexão").arg(kCaminhoPosto));
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> resposta = conexao.interface()->registerService(
        kNomeBarramento, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (!resposta.isValid() || resposta.value() != QDBusConnectionInterface::ServiceRegistered) {
        conexao.unregisterObject(kCaminhoPosto);
        if (!resposta.isValid())
            return falha(QStringLiteral("o barramento recusou o nome %1 (%2)")
                             .arg(kNomeBarramento, resposta.error().message()));
        return falha(QStringLiteral("o nome %1 já pertence a outro programa no barramento").arg(kNomeBarramento));
    }
    FConexao = conexao;
    return true;
}

void TPostoPublicado::DefineEstado(const TEstado& estado)
{
    if (estado == FEstado)
        return;
    const TEstado antes = FEstado;
    FEstado = estado;
    QVariantMap alteradas;
    if (estado.Status != antes.Status)
        alteradas.insert(QStringLiteral("Status"), estado.Status);
    if (estado.Aviso != antes.Aviso)
        alteradas.insert(QStringLiteral("Aviso"), estado.Aviso);
    if (estado.TipoAviso != antes.TipoAviso)
        alteradas.insert(QStringLiteral("TipoAviso"), estado.TipoAviso);
    if (estado.Aguardando != antes.Aguardando)
        alteradas.insert(QStringLiteral("Aguardando"), qlonglong(estado.Aguardando));
    if (estado.Retidos != antes.Retidos)
        alteradas.insert(QStringLiteral("Retidos"), qlonglong(estado.Retidos));
    if (estado.IntervaloLeitura != antes.IntervaloLeitura)
        alteradas.insert(QStringLiteral("IntervaloLeitura"), estado.IntervaloLeitura);
    if (estado.ModoTag != antes.ModoTag)
        alteradas.insert(QStringLiteral("ModoTag"), estado.ModoTag);
    AnunciaAlteradas(alteradas);
    if (estado.Aviso != antes.Aviso || estado.TipoAviso != antes.TipoAviso)
        emit AvisoAlterado(estado.Aviso, estado.TipoAviso);
}

void TPostoPublicado::DefineDia(const QStringList& linhas)
{
    const int antes = AbastecimentosDoDia();
    FLinhas = linhas;
    QVariantMap alteradas;
    if (AbastecimentosDoDia() != antes)
        alteradas.insert(QStringLiteral("AbastecimentosDoDia"), AbastecimentosDoDia());
    // A new day begins empty: the last fueling stored is still yesterday's.
    for (auto linha = FLinhas.crbegin(); linha != FLinhas.crend(); ++linha) {
        const QString ultimo = DataHoraBico(*linha);
        if (ultimo.isEmpty())
            continue;
        if (ultimo != FUltimoGravado) {
            FUltimoGravado = ultimo;
            alteradas.insert(QStringLiteral("UltimoGravado"), ultimo);
        }
        break;
    }
    AnunciaAlteradas(alteradas);
}

void TPostoPublicado::AcrescentaLinha(const QString& linha)
{
    FLinhas.append(linha);
    QVariantMap alteradas{{QStringLiteral("AbastecimentosDoDia"), AbastecimentosDoDia()}};
    const QString ultimo = DataHoraBico(linha);
    if (!ultimo.isEmpty() && ultimo != FUltimoGravado) {
        FUltimoGravado = ultimo;
        alteradas.insert(QStringLiteral("UltimoGravado"), ultimo);
    }
    emit LinhaAbastecimento(linha);
    AnunciaAlteradas(alteradas);
}

QString TPostoPublicado::DataHoraBico(const QString& linha)
{
    // " DD/MM/AAAA   HH:MM:SS   BICO   LITRAGEM ...": columns parted by three blanks.
    static const QRegularExpression kColunas(
        QStringLiteral("^ (\\d\\d/\\d\\d/\\d{4})   (\\d\\d:\\d\\d:\\d\\d)   (\\S.*?) *   "));
    const QRegularExpressionMatch colunas = kColunas.match(linha);
    if (!colunas.hasMatch())
        return {};
    return colunas.captured(1) + QLatin1Char(' ') + colunas.captured(2) + QLatin1Char(' ') + colunas.captured(3);
}

QString TPostoPublicado::SemAnimacao(const QString& status)
{
    qsizetype fim = status.size();
    while (fim > 0 && status.at(fim - 1) == QLatin1Char('.'))
        --fim;
    return status.left(fim);
}

void TPostoPublicado::AnunciaAlteradas(const QVariantMap& alteradas)
{
    if (alteradas.isEmpty() || !FConexao)
        return;
    QDBusMessage sinal = QDBusMessage::createSignal(kCaminhoPosto, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    sinal << kInterfacePosto << alteradas << QStringList();
    // Queued to the bus's own thread: never waits for a client.
    FConexao->send(sinal);
}

void TChamadaOperador::Falha(const QString& mensagem) const
{
    FConexao.send(FPedido.createErrorReply(kErroPosto, TextoDoBarramento(mensagem)));
}

QString TChamadaOperador::TextoDoBarramento(QString texto)
{
    return texto.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

QString TPostoPublicado::UsuarioDaChamada()
{
    // Asked of the bus itself: a client cannot name someone else.
    const QDBusReply<uint> uid = connection().interface()->serviceUid(message().service());
    if (!uid.isValid())
        return QStringLiteral("?");
    const passwd* usuario = ::getpwuid(uid.value());
    return usuario && usuario->pw_name ? QString::fromLocal8Bit(usuario->pw_name) : QString::number(uid.value());
}

std::optional<TChamadaOperador> TPostoPublicado::Chamada()
{
    if (!FAtendimento) {
        sendErrorReply(kErroPosto, QStringLiteral("O Linkor ainda não atende às operações: aguarde o fim da "
                                                  "inicialização e tente de novo."));
        return std::nullopt;
    }
    setDelayedReply(true);
    return TChamadaOperador(connection(), message(), UsuarioDaChamada());
}

QList<QVariantMap> TPostoPublicado::Bicos()
{
    if (const auto chamada = Chamada())
        FAtendimento->Bicos(*chamada);
    return {};
}

QList<QVariantMap> TPostoPublicado::LeEncerrantes(const QStringList& bicos)
{
    if (const auto chamada = Chamada())
        FAtendimento->LeEncerrantes(*chamada, bicos);
    return {};
}

QList<QVariantMap> TPostoPublicado::GravaEncerrantes(const QStringList& bicos, QString&)
{
    if (const auto chamada = Chamada())
        FAtendimento->GravaEncerrantes(*chamada, bicos);
    return {};
}

QString TPostoPublicado::AlteraPrecos(const QStringList& bicos, const QStringList& precos)
{
    if (const auto chamada = Chamada())
        FAtendimento->AlteraPrecos(*chamada, bicos, precos);
    return {};
}

QString TPostoPublicado::Bloqueia(const QStringList& bicos)
{
    if (const auto chamada = Chamada())
        FAtendimento->Bloqueia(*chamada, bicos, true);
    return {};
}

QString TPostoPublicado::Libera(const QStringList& bicos)
{
    if (const auto chamada = Chamada())
        FAtendimento->Bloqueia(*chamada, bicos, false);
    return {};
}

QString TPostoPublicado::Captura(int id)
{
    if (const auto chamada = Chamada())
        FAtendimento->Captura(*chamada, id);
    return {};
}

QString TPostoPublicado::AcertaRelogio()
{
    if (const auto chamada = Chamada())
        FAtendimento->AcertaRelogio(*chamada);
    return {};
}

QString TPostoPublicado::DefineIntervalo(int segundos)
{
    if (const auto chamada = Chamada())
        FAtendimento->DefineIntervalo(*chamada, segundos);
    return {};
}

QList<QVariantMap> TPostoPublicado::ListaDiario(const QString& filtro, const QString& dia)
{
    if (const auto chamada = Chamada())
        FAtendimento->ListaDiario(*chamada, filtro, dia);
    return {};
}

QString TPostoPublicado::ReenviaDiario(qlonglong numero, bool novaSequencia)
{
    if (const auto chamada = Chamada())
        FAtendimento->ReenviaDiario(*chamada, numero, novaSequencia);
    return {};
}
