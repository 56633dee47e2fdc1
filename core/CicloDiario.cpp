// The poll cycle's road through the journal: what the concentrator delivers is appended (durable)
// before the next read may acknowledge it, and the journal's entries are forwarded to the fueling
// writer in the order read. What the station database refuses is held with its reason, never
// dropped; a database that cannot store now leaves the entries waiting, and reading goes on.
#include "CicloLeitura.h"

#include "Contexto.h"
#include "Erro.h"
#include "RepositorioParametros.h"
#include "Textos.h"

#include <cmath>
#include <cstring>

namespace {

// Who the journal records for what the engine itself decides.
const QString kResponsavelLinkor = QStringLiteral("linkor");

template <typename TRegistro>
QByteArray Bytes(const TRegistro& registro)
{
    return QByteArray(reinterpret_cast<const char*>(&registro), static_cast<qsizetype>(sizeof registro));
}

// The record as read, again from the journal's bytes.
TDadosAbastecimento DadosDoDiario(const TEntradaDiario& entrada)
{
    if (entrada.Layout == kLayoutFid && entrada.Bruto.size() == static_cast<qsizetype>(sizeof(TAbastecimentoFid))) {
        TAbastecimentoFid registro;
        std::memcpy(&registro, entrada.Bruto.constData(), sizeof registro);
        return TDadosAbastecimento::De(registro);
    }
    if (entrada.Layout == kLayoutSimples && entrada.Bruto.size() == static_cast<qsizetype>(sizeof(TAbastecimento))) {
        TAbastecimento registro;
        std::memcpy(&registro, entrada.Bruto.constData(), sizeof registro);
        return TDadosAbastecimento::De(registro);
    }
    throw EErro(QStringLiteral("O registro da entrada %1 do diário não tem o formato '%2' (%3 bytes).")
                    .arg(entrada.Numero)
                    .arg(entrada.Layout)
                    .arg(entrada.Bruto.size()));
}

// Not a number is no value a database column takes: the decoded fields say 0, the bytes keep what
// the record held.
double Numero(double valor)
{
    return std::isnan(valor) ? 0 : valor;
}

TCamposDiario CamposDe(const TDadosAbastecimento& dados)
{
    TCamposDiario campos;
    campos.Id = dados.Id;
    campos.Bico = dados.Bico;
    campos.Data = dados.Data;
    campos.Hora = dados.Hora;
    campos.Litragem = Numero(dados.Litragem);
    campos.ValorTotal = dados.ValorTotal;
    campos.PrecoUnit = dados.PrecoUnit;
    campos.EncerranteFinal = Numero(dados.EncerranteFinal);
    campos.CodFid = dados.CodFid;
    return campos;
}

} // namespace

void TCicloLeitura::AbreDiario()
{
    DiarioAberto();
    ContaDiario();
    AtualizaAviso();
}

bool TCicloLeitura::DiarioAberto()
{
    if (FContexto.Diario())
        return true;
    const QString caminho = TDiario::ArquivoDoPosto(FContexto.Relogio().PastaExecutavel());
    try {
        auto diario = std::make_unique<TDiario>(caminho);
        if (!diario->Afastado().isEmpty()) {
            FDiarioAfastado = diario->Afastado();
            FLogs.RegistraErro(QStringLiteral("O diário dos abastecimentos %1 estava ilegível: foi guardado como %2 e "
                                              "um diário novo foi começado.")
                                   .arg(caminho, FDiarioAfastado));
        }
        FContexto.DefineDiario(std::move(diario));
    } catch (const EErroDiario& e) {
        FalhaDoDiario(e.Mensagem());
        return false;
    }
    if (!FFalhaDiario.isEmpty()) {
        FFalhaDiario.clear();
        FLogs.RegistraErro(QStringLiteral("O diário dos abastecimentos voltou a ser gravado."));
    }
    return true;
}

void TCicloLeitura::FalhaDoDiario(const QString& mensagem)
{
    const QString texto = QString(mensagem).replace('\n', ' ');
    if (texto != FFalhaDiario)
        FLogs.RegistraErro(QStringLiteral("O diário dos abastecimentos não pode ser gravado: %1 A leitura do "
                                          "concentrador está parada.")
                               .arg(texto));
    FFalhaDiario = texto;
    AtualizaAviso();
}

void TCicloLeitura::ContaDiario()
{
    TDiario* diario = FContexto.Diario();
    if (!diario)
        return;
    try {
        FAguardando = diario->ContaAguardando();
        FRetidos = diario->ContaRetidos();
    } catch (const EErroDiario&) {
        // the counts of the last tick stay; a write will say what is wrong
    }
}

std::optional<TEntradaDiario> TCicloLeitura::Registra(const TRegistroLido& lido)
{
    TEntradaDiario entrada;
    try {
        entrada = FContexto.Diario()->Acrescenta(lido.Bruto, lido.Layout, CamposDe(lido.Dados), lido.Origem,
                                                 lido.LidoEm);
    } catch (const EErroDiario& e) {
        FalhaDoDiario(e.Mensagem());
        return std::nullopt;
    }
    if (!FFalhaDiario.isEmpty()) {
        FFalhaDiario.clear();
        FLogs.RegistraErro(QStringLiteral("O diário dos abastecimentos voltou a ser gravado."));
    }
    return entrada;
}

std::optional<TCicloLeitura::TRegistroLido> TCicloLeitura::LeRegistro()
{
    const bool estavaMudo = ConcentradorMudo();
    TRegistroLido lido;
    try {
        TConcentrador& concentrador = *FContexto.Concentrador();
        if (FGravador.UsaFid()) {
            const TAbastecimentoFid registro = concentrador.GetLeAbastecimentoFID();
            lido.Bruto = Bytes(registro);
            lido.Layout = kLayoutFid;
            lido.Dados = TDadosAbastecimento::De(registro);
        } else {
            const TAbastecimento registro = concentrador.GetLeAbastecimento();
            lido.Bruto = Bytes(registro);
            lido.Layout = kLayoutSimples;
            lido.Dados = TDadosAbastecimento::De(registro);
        }
        FSemResposta.clear();
    } catch (const EErroSemResposta& e) {
        FSemResposta = MensagemDe(e);
        AtualizaSilencio(estavaMudo);
        return std::nullopt;
    } catch (const std::exception& e) {
        FLogs.RegistraErro(QStringLiteral("Erro ao ler abastecimento: ") + MensagemDe(e));
        return std::nullopt;
    }
    AtualizaSilencio(estavaMudo);
    // Nothing waiting at the concentrator.
    if (!lido.Dados.Valido)
        return std::nullopt;
    lido.Origem = kOrigemLeitura;
    lido.LidoEm = FContexto.Relogio().Agora();
    return lido;
}

bool TCicloLeitura::Drena()
{
    if (!DiarioAberto())
        return false;
    // The record the journal could not take comes first; until it is in, nothing new is read.
    if (FForaDoDiario) {
        if (!Registra(*FForaDoDiario))
            return false;
        FForaDoDiario.reset();
    }
    for (int lidos = 0; lidos < kLeiturasPorTique; ++lidos) {
        std::optional<TRegistroLido> lido = LeRegistro();
        if (!lido)
            break;
        if (!Registra(*lido)) {
            FForaDoDiario = std::move(lido);
            return false;
        }
    }
    return true;
}

void TCicloLeitura::EncaminhaAguardando()
{
    try {
        const QList<TEntradaDiario> entradas = FContexto.Diario()->Aguardando(kEncaminhadosPorTique);
        for (const TEntradaDiario& entrada : entradas)
            if (Encaminha(entrada).Desfecho == TDesfecho::Aguarda)
                break;
    } catch (const EErroDiario& e) {
        FalhaDoDiario(e.Mensagem());
    }
}

void TCicloLeitura::RetentaRetidos()
{
    const QDateTime agora = FContexto.Relogio().Agora();
    // A clock set back does not put the next round off for as long as it went back.
    if (FProximaRetentativa.isValid() && agora < FProximaRetentativa
        && agora >= FProximaRetentativa.addSecs(-kMinutosEntreRetentativas * 60))
        return;
    FProximaRetentativa = agora.addSecs(kMinutosEntreRetentativas * 60);
    try {
        const QList<TEntradaDiario> retidos = FContexto.Diario()->Retidos(kEncaminhadosPorTique);
        if (retidos.isEmpty())
            return;
        // On a fresh attachment: a grant, a trigger or a column a technician changed is seen.
        try {
            FContexto.CnTankora().Reconecta();
        } catch (const std::exception& e) {
            FEspera.Falhou(TMotivoEspera::Inacessivel, MensagemDe(e), nullptr);
            return;
        }
        for (const TEntradaDiario& entrada : retidos)
            if (Encaminha(entrada).Desfecho == TDesfecho::Aguarda)
                break;
    } catch (const EErroDiario& e) {
        FalhaDoDiario(e.Mensagem());
    }
}

void TCicloLeitura::ConfereGravados()
{
    const QDateTime agora = FContexto.Relogio().Agora();
    if (FDiaConferencia == agora.date())
        return;
    try {
        TDiario& diario = *FContexto.Diario();
        // A busy station's week is thousands of lookups: a bounded share per tick, so a tick stays
        // short; the round goes on from where it stopped.
        int conferidos = 0;
        for (const TEntradaDiario& entrada : diario.GravadosDesde(agora.addDays(-kDiasConferidos))) {
            if (entrada.Numero <= FUltimoConferido || !entrada.DataGravada.isValid())
                continue;
            if (++conferidos > kConferidosPorTique)
                return;
            FUltimoConferido = entrada.Numero;
            if (FGravador.ExisteGravado(entrada.Campos.Id, entrada.Sequencia, entrada.DataGravada))
                continue;
            // A backup restored over the live file, or a row deleted: a management program may do
            // it on purpose, so it is stored again only when a technician asks.
            diario.MarcaSumido(entrada.Numero, agora);
            FLogs.RegistraErro(QStringLiteral("Abastecimento gravado e depois não encontrado no banco de dados (entrada "
                                              "%1 do diário): ID: %2 Sequencia: %3 Data: %4 Hora: %5 Bico: %6. Será "
                                              "gravado de novo só se o técnico pedir (linkor-diario reenvia %1).")
                                   .arg(entrada.Numero)
                                   .arg(StrZero(QString::number(entrada.Campos.Id), 4))
                                   .arg(entrada.Sequencia)
                                   .arg(FContexto.Regional().TextoData(entrada.DataGravada), entrada.HoraGravada,
                                        entrada.CodBico));
        }
        diario.Poda(agora.addDays(-TDiario::kDiasGuardados));
        FUltimoConferido = 0;
    } catch (const EErroDiario& e) {
        FalhaDoDiario(e.Mensagem());
        return;
    } catch (const EErroBanco& e) {
        if (e.Natureza() != TNaturezaErroBanco::Recusa)
            return; // tried again on a later tick
    }
    FDiaConferencia = agora.date();
}

TCicloLeitura::TEncaminhamento TCicloLeitura::Retem(const TEntradaDiario& entrada, const TDadosAbastecimento& dados,
                                                    TResultadoAbastecimento resultado, const QString& motivo)
{
    const QString texto = QString(motivo).replace('\n', ' ').replace('\r', ' ');
    if (FContexto.Diario()->MarcaRetido(entrada.Numero, texto, FContexto.Relogio().Agora()))
        FLogs.RegistraErro(QStringLiteral("Abastecimento retido no diário (entrada %1): %2 Abastecimento: %3")
                               .arg(entrada.Numero)
                               .arg(texto, FLogs.Rastro(dados)));
    return {TDesfecho::Retido, resultado, texto};
}

TCicloLeitura::TEncaminhamento TCicloLeitura::Encaminha(const TEntradaDiario& entrada)
{
    TDiario& diario = *FContexto.Diario();
    TDadosAbastecimento dados;
    TGravacao gravacao;
    try {
        dados = DadosDoDiario(entrada);
        TOpcoesGravacao opcoes;
        opcoes.NovaSequencia = entrada.NovaSequencia;
        opcoes.RegistraFalhas = false;
        gravacao = FGravador.Armazena(dados, opcoes);
    } catch (const EErroBanco& e) {
        if (e.Natureza() != TNaturezaErroBanco::Recusa) {
            // The database cannot store now, for no reason of this row: it waits, and so do the
            // entries after it (their order is kept).
            if (e.Natureza() == TNaturezaErroBanco::Servidor)
                FReconecta = true;
            FEspera.Falhou(TEsperaBanco::MotivoDe(e.Natureza()), e.Mensagem(), &dados);
            if (entrada.Estado == TEstadoEntrada::Aguardando)
                diario.RegistraTentativa(entrada.Numero, e.Mensagem(), FContexto.Relogio().Agora());
            return {TDesfecho::Aguarda, TResultadoAbastecimento::Aguardando, e.Mensagem()};
        }
        FEspera.Encerra();
        if (FGravador.ChaveDeOutroAbastecimento())
            return Retem(entrada, dados, TResultadoAbastecimento::Retido,
                         QStringLiteral("O concentrador numerou os abastecimentos de novo: o ID %1 da sequência %2 em "
                                        "%3 já está gravado para outro abastecimento. Para gravá-lo com a próxima "
                                        "sequência: linkor-diario reenvia %4 --nova-sequencia (o banco de dados "
                                        "respondeu: %5)")
                             .arg(StrZero(QString::number(dados.Id), 4))
                             .arg(FParametros.ReabreParametros())
                             .arg(dados.Data)
                             .arg(entrada.Numero)
                             .arg(e.Mensagem()));
        return Retem(entrada, dados, TResultadoAbastecimento::Retido, e.Mensagem());
    } catch (const EErroDiario&) {
        throw;
    } catch (const std::exception& e) {
        // Not a fueling the station can take as it is (a date or time that does not read, a code
        // that is not hexadecimal): held for a technician.
        return Retem(entrada, dados, TResultadoAbastecimento::Retido, MensagemDe(e));
    }
    const QDateTime agora = FContexto.Relogio().Agora();
    switch (gravacao.Resultado) {
    case TResultadoAbastecimento::Gravado:
    case TResultadoAbastecimento::JaGravado:
        FEspera.Encerra();
        // The line after the commit, then the journal: a crash in between finds it stored.
        Conclui(gravacao);
        diario.MarcaGravado(entrada.Numero, gravacao.Chave.Sequencia, gravacao.Chave.Data, gravacao.Chave.CodBico,
                            gravacao.Chave.Hora, agora);
        return {TDesfecho::Gravado, gravacao.Resultado, {}};
    case TResultadoAbastecimento::SemAbastecimento:
    case TResultadoAbastecimento::ValoresZerados:
        diario.MarcaDescartado(entrada.Numero, gravacao.Motivo, kResponsavelLinkor, agora);
        return {TDesfecho::Descartado, gravacao.Resultado, gravacao.Motivo};
    case TResultadoAbastecimento::BicoDesconhecido:
        FEspera.Encerra();
        return Retem(entrada, dados, gravacao.Resultado, gravacao.Motivo);
    case TResultadoAbastecimento::ValoresInvalidos:
    case TResultadoAbastecimento::Falhou:
    case TResultadoAbastecimento::Retido:
    case TResultadoAbastecimento::Aguardando:
    case TResultadoAbastecimento::Descartado:
        break;
    }
    return Retem(entrada, dados, gravacao.Resultado, gravacao.Motivo);
}

TResultadoAbastecimento TCicloLeitura::CapturaPeloDiario(const TAbastecimento& registro)
{
    FMotivoCaptura.clear();
    if (!DiarioAberto())
        throw EErroDiario(FFalhaDiario);
    TRegistroLido lido;
    lido.Bruto = Bytes(registro);
    lido.Layout = kLayoutSimples;
    lido.Origem = kOrigemCaptura;
    lido.Dados = TDadosAbastecimento::De(registro);
    lido.LidoEm = FContexto.Relogio().Agora();
    TDiario& diario = *FContexto.Diario();
    TEntradaDiario entrada = diario.Acrescenta(lido.Bruto, lido.Layout, CamposDe(lido.Dados), lido.Origem, lido.LidoEm);
    // The same bytes as an entry already in the journal: that entry is the fueling.
    if (entrada.Estado == TEstadoEntrada::Repetido) {
        const std::optional<TEntradaDiario> original = diario.Entrada(entrada.RepeteDe);
        if (!original || (original->Estado == TEstadoEntrada::Gravado && !original->Sumido))
            return TResultadoAbastecimento::JaGravado;
        if (original->Estado == TEstadoEntrada::Descartado) {
            FMotivoCaptura = original->Motivo;
            return TResultadoAbastecimento::Descartado;
        }
        entrada = *original;
    }
    // Forwarded at once, unless the database is being left alone (an outage backing off): then it
    // waits in the journal with the others.
    TEncaminhamento encaminhado;
    if (BancoAlcancavel()) {
        encaminhado = Encaminha(entrada);
        FMotivoCaptura = encaminhado.Motivo;
    } else {
        FMotivoCaptura = FEspera.Mensagem();
        encaminhado.Resultado = TResultadoAbastecimento::Aguardando;
    }
    ContaDiario();
    AtualizaAviso();
    return encaminhado.Resultado;
}
