#include "Dispositivo.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <tuple>

using namespace Protocolo;

namespace {
// What a pump's displays can show. Prices and volumes stay within them, so that every fueling's
// money fits the 1/10000 fixed-point fields.
constexpr double PrecoMaximo = 9999.999;
constexpr double LitrosMaximos = 99999.999;
constexpr double ValorMaximo = PrecoMaximo * LitrosMaximos;

// The total to the cent, in 1/10000.
std::int64_t CalculaTotal(double litros, double preco)
{
    return std::llround(litros * preco * 100.0) * 100;
}

std::string FormataRelogio(std::time_t instante, const char* formato)
{
    std::tm local{};
    localtime_r(&instante, &local);
    char texto[32];
    std::strftime(texto, sizeof texto, formato, &local);
    return texto;
}

std::optional<std::time_t> LeDataHora(const std::string& data, const std::string& hora)
{
    int dia, mes, ano, h, m, s;
    char resto;
    if (std::sscanf(data.c_str(), "%2d/%2d/%4d%c", &dia, &mes, &ano, &resto) != 3)
        return std::nullopt;
    if (std::sscanf(hora.c_str(), "%2d:%2d:%2d%c", &h, &m, &s, &resto) != 3)
        return std::nullopt;
    if (dia < 1 || dia > 31 || mes < 1 || mes > 12 || ano < 1900 || h > 23 || m > 59 || s > 59 || h < 0 || m < 0 ||
        s < 0)
        return std::nullopt;
    std::tm local{};
    local.tm_mday = dia;
    local.tm_mon = mes - 1;
    local.tm_year = ano - 1900;
    local.tm_hour = h;
    local.tm_min = m;
    local.tm_sec = s;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

std::optional<long> LeInteiroDecimal(const std::string& texto)
{
    long valor = 0;
    const auto [fim, erro] = std::from_chars(texto.data(), texto.data() + texto.size(), valor);
    if (erro != std::errc() || fim != texto.data() + texto.size() || texto.empty())
        return std::nullopt;
    return valor;
}

TRespostaControle Recusa(const std::string& mensagem)
{
    return {false, mensagem};
}
} // namespace

std::optional<double> LeDecimal(const std::string& texto)
{
    double valor = 0;
    const auto [fim, erro] = std::from_chars(texto.data(), texto.data() + texto.size(), valor);
    if (texto.empty() || erro != std::errc() || fim != texto.data() + texto.size() || !std::isfinite(valor))
        return std::nullopt;
    return valor;
}

std::string TextoDecimal(double valor)
{
    char texto[64];
    const auto [fim, erro] = std::to_chars(texto, texto + sizeof texto, valor);
    return erro == std::errc() ? std::string(texto, fim) : std::string("0");
}

TDispositivo::TDispositivo(const std::vector<int>& bicos)
{
    static const double Precos[] = {5.89, 5.99, 6.09, 6.19};
    for (std::size_t i = 0; i < bicos.size(); ++i) {
        TBicoSimulado bico;
        bico.Codigo = bicos[i];
        bico.Preco = Precos[i % 4];
        bico.Encerrante = 10000.0 * static_cast<double>(i + 1);
        FBicos.push_back(bico);
    }
}

int TDispositivo::LeCodigoHexa(const std::string& texto)
{
    if (texto.size() != 2)
        return -1;
    int valor = 0;
    const auto [fim, erro] = std::from_chars(texto.data(), texto.data() + 2, valor, 16);
    return erro == std::errc() && fim == texto.data() + 2 ? valor : -1;
}

std::string TDispositivo::CodigoHexa(int codigo)
{
    char texto[8];
    std::snprintf(texto, sizeof texto, "%02X", codigo & 0xFF);
    return texto;
}

TBicoSimulado* TDispositivo::ProcuraBico(const std::string& hexa)
{
    const int codigo = LeCodigoHexa(hexa);
    for (auto& bico : FBicos)
        if (bico.Codigo == codigo)
            return &bico;
    return nullptr;
}

std::time_t TDispositivo::Relogio() const
{
    return std::time(nullptr) + FDesvioRelogio;
}

std::int32_t TDispositivo::ProximoId()
{
    const std::int32_t id = FProximoId;
    FProximoId = FProximoId >= 9999 ? 1 : FProximoId + 1;
    return id;
}

void TDispositivo::Enfileira(TDadosAbastecimento dados)
{
    dados.Chave = ++FUltimaChave;
    FHistorico[dados.Id] = dados;
    FPendentes.push_back(std::move(dados));
}

void TDispositivo::AtualizaStatusBloqueio(int indice)
{
    if (indice >= static_cast<int>(FStatus.size()))
        return;
    bool algumBloqueado = false;
    for (const auto& bico : FBicos)
        algumBloqueado = algumBloqueado || (bico.Bloqueado && IndiceStatus(bico.Codigo) == indice);
    const auto anterior = FStatusAntesBloqueio.find(indice);
    if (algumBloqueado) {
        if (anterior == FStatusAntesBloqueio.end())
            FStatusAntesBloqueio[indice] = FStatus[static_cast<std::size_t>(indice)];
        FStatus[static_cast<std::size_t>(indice)] = 5;
    } else if (anterior != FStatusAntesBloqueio.end()) {
        FStatus[static_cast<std::size_t>(indice)] = anterior->second;
        FStatusAntesBloqueio.erase(anterior);
    }
}

std::optional<TQuadro> TDispositivo::AtendePedido(const TQuadro& pedido)
{
    TQuadro resposta{pedido.Numero, static_cast<std::uint8_t>(pedido.Comando | Resposta), {}};
    TLeitor leitor(pedido.Dados);
    TEscritor escritor;
    switch (pedido.Comando) {
    case CmdLeAbastecimento:
    case CmdFecha:
    case CmdConfirma: {
        // The fueling the library last received is dropped only now that it says so.
        const std::uint32_t confirmada = leitor.Natural32();
        if (leitor.Ok() && confirmada != 0 && !FPendentes.empty() && FPendentes.front().Chave == confirmada)
            FPendentes.pop_front();
        if (pedido.Comando == CmdLeAbastecimento) {
            escritor.Byte(FPendentes.empty() ? 0 : 1);
            if (!FPendentes.empty())
                CodificaAbastecimento(escritor, FPendentes.front());
        }
        break;
    }
    case CmdLeRegistro: {
        const auto achado = FHistorico.find(leitor.Inteiro32());
        escritor.Byte(leitor.Ok() && achado != FHistorico.end() ? 1 : 0);
        if (leitor.Ok() && achado != FHistorico.end())
            CodificaAbastecimento(escritor, achado->second);
        break;
    }
    case CmdLeStatus:
        escritor.Bruto(FStatus.data(), FStatus.size());
        break;
    case CmdLeStStatus: {
        // Each nozzle's own letter, four per position (channels 1 to 4) for positions 1 to 25; a
        // blank where the position has no nozzle on that channel. A blocked nozzle reads "B", its
        // free neighbours the letter the position had before the block.
        static const char Letras[] = "LPFCABE";
        std::array<std::uint8_t, 100> texto{};
        texto.fill(' ');
        for (const auto& bico : FBicos) {
            const int indice = IndiceStatus(bico.Codigo);
            const int canal = (bico.Codigo - 4 - indice) / 64;
            if (bico.Codigo < 4 || canal > 3 || indice >= 25)
                continue;
            const auto anterior = FStatusAntesBloqueio.find(indice);
            const std::uint8_t byte = anterior != FStatusAntesBloqueio.end() ? anterior->second : FStatus[static_cast<std::size_t>(indice)];
            texto[static_cast<std::size_t>(indice * 4 + canal)] =
                bico.Bloqueado ? 'B' : static_cast<std::uint8_t>(byte <= 6 ? Letras[byte] : '?');
        }
        escritor.Bruto(texto.data(), texto.size());
        break;
    }
    case CmdEncerrante: {
        leitor.Byte();
        const std::string bico = leitor.Texto();
        if (FMudos.count(bico))
            return std::nullopt;
        double valor = 0;
        if (const auto definido = FEncerrantesDefinidos.find(bico); definido != FEncerrantesDefinidos.end())
            valor = definido->second;
        else if (const TBicoSimulado* conhecido = ProcuraBico(bico))
            valor = conhecido->Encerrante;
        escritor.Texto(bico).Real(valor);
        break;
    }
    case CmdAlteraPreco: {
        const std::string codigo = leitor.Texto();
        if (FMudos.count(codigo))
            return std::nullopt;
        TBicoSimulado* bico = ProcuraBico(codigo);
        const double preco = leitor.Real();
        const bool aceito = leitor.Ok() && bico && std::isfinite(preco) && preco >= 0 && preco <= PrecoMaximo;
        if (aceito)
            bico->Preco = preco;
        escritor.Byte(aceito ? 1 : 0);
        break;
    }
    case CmdLePreco: {
        const TBicoSimulado* bico = ProcuraBico(leitor.Texto());
        escritor.Byte(bico ? 1 : 0).Real(bico ? bico->Preco : 0);
        break;
    }
    case CmdBloqueia:
    case CmdLibera: {
        TBicoSimulado* bico = ProcuraBico(leitor.Texto());
        if (bico) {
            bico->Bloqueado = pedido.Comando == CmdBloqueia;
            AtualizaStatusBloqueio(IndiceStatus(bico->Codigo));
        }
        escritor.Byte(bico ? 1 : 0);
        break;
    }
    case CmdAcertaRelogio: {
        const std::string texto = leitor.Texto();
        const auto separador = texto.find(' ');
        const auto instante = separador == std::string::npos
                                  ? std::nullopt
                                  : LeDataHora(texto.substr(0, separador), texto.substr(separador + 1));
        if (instante) {
            FDesvioRelogio = *instante - std::time(nullptr);
            ++FRelogioAcertado;
        }
        break;
    }
    default:
        return std::nullopt;
    }
    resposta.Dados = escritor.Bytes();
    return resposta;
}

void TDispositivo::AbastecimentoAutomatico(std::mt19937& gerador)
{
    std::vector<TBicoSimulado*> livres;
    for (auto& bico : FBicos)
        if (!bico.Bloqueado)
            livres.push_back(&bico);
    if (livres.empty())
        return;
    TBicoSimulado& bico = *livres[std::uniform_int_distribution<std::size_t>(0, livres.size() - 1)(gerador)];
    const double litros = std::round(std::uniform_real_distribution<double>(2.0, 60.0)(gerador) * 1000.0) / 1000.0;
    TDadosAbastecimento dados;
    dados.Id = ProximoId();
    dados.Bico = CodigoHexa(bico.Codigo);
    dados.Litragem = litros;
    dados.PrecoUnit = ConverteDinheiro(bico.Preco);
    dados.ValorTotal = CalculaTotal(litros, bico.Preco);
    dados.Data = FormataRelogio(Relogio(), "%d/%m/%Y");
    dados.Hora = FormataRelogio(Relogio(), "%H:%M:%S");
    bico.Encerrante += litros;
    dados.EncerranteFinal = bico.Encerrante;
    dados.CodFid = std::string(16, '0');
    Enfileira(std::move(dados));
}

TRespostaControle TDispositivo::ExecutaComando(const std::vector<std::string>& palavras)
{
    if (palavras.empty())
        return Recusa("comando vazio");
    std::map<std::string, std::string> argumentos;
    for (std::size_t i = 1; i < palavras.size(); ++i) {
        const auto igual = palavras[i].find('=');
        if (igual != std::string::npos)
            argumentos[palavras[i].substr(0, igual)] = palavras[i].substr(igual + 1);
    }
    const std::string& comando = palavras[0];
    if (comando == "abastece")
        return Abastece(argumentos);
    if (comando == "status")
        return DefineStatus(palavras);
    if (comando == "encerrante")
        return DefineEncerrante(argumentos);
    if (comando == "bico")
        return DefineBico(argumentos);
    if (comando == "estado")
        return DescreveEstado();
    if (comando == "falha")
        return DefineFalha(argumentos);
    return Recusa("comando desconhecido: " + comando);
}

TRespostaControle TDispositivo::Abastece(const std::map<std::string, std::string>& argumentos)
{
    const auto valor = [&](const char* chave) -> std::optional<std::string> {
        const auto achado = argumentos.find(chave);
        return achado == argumentos.end() ? std::nullopt : std::optional(achado->second);
    };
    const auto bicoTexto = valor("bico");
    if (!bicoTexto)
        return Recusa("falta bico=HH");
    TBicoSimulado* bico = ProcuraBico(*bicoTexto);
    if (!bico)
        return Recusa("bico desconhecido: " + *bicoTexto);
    const auto litros = LeDecimal(valor("litros").value_or(""));
    const auto preco = LeDecimal(valor("preco").value_or(""));
    if (!litros || *litros <= 0 || *litros > LitrosMaximos || !preco || *preco < 0 || *preco > PrecoMaximo)
        return Recusa("litros= e preco= devem ser números positivos, até " + TextoDecimal(LitrosMaximos) + " e " +
                      TextoDecimal(PrecoMaximo));

    TDadosAbastecimento dados;
    dados.Bico = CodigoHexa(bico->Codigo);
    dados.Litragem = *litros;
    dados.PrecoUnit = ConverteDinheiro(*preco);
    dados.ValorTotal = CalculaTotal(*litros, *preco);
    if (const auto total = valor("total")) {
        const auto lido = LeDecimal(*total);
        if (!lido || *lido < 0 || *lido > ValorMaximo)
            return Recusa("total inválido: " + *total);
        dados.ValorTotal = ConverteDinheiro(*lido);
    }
    dados.Data = valor("data").value_or(FormataRelogio(Relogio(), "%d/%m/%Y"));
    dados.Hora = valor("hora").value_or(FormataRelogio(Relogio(), "%H:%M:%S"));
    if (!LeDataHora(dados.Data, dados.Hora))
        return Recusa("data ou hora inválida");
    if (const auto id = valor("id")) {
        const auto lido = LeInteiroDecimal(*id);
        if (!lido || *lido < 0 || *lido > 9999)
            return Recusa("id deve estar entre 0 e 9999");
        dados.Id = static_cast<std::int32_t>(*lido);
        FProximoId = dados.Id >= 9999 ? 1 : dados.Id + 1;
    } else {
        dados.Id = ProximoId();
    }
    if (const auto encerrante = valor("encerrante")) {
        const auto lido = LeDecimal(*encerrante);
        if (!lido)
            return Recusa("encerrante inválido: " + *encerrante);
        bico->Encerrante = *lido;
    } else {
        bico->Encerrante += *litros;
    }
    dados.EncerranteFinal = bico->Encerrante;
    dados.CodFid = valor("fid").value_or(std::string(16, '0'));
    const std::int32_t id = dados.Id;
    Enfileira(std::move(dados));
    return {true, std::to_string(id)};
}

TRespostaControle TDispositivo::DefineStatus(const std::vector<std::string>& palavras)
{
    if (palavras.size() - 1 > FStatus.size())
        return Recusa("no máximo 48 bytes de status");
    std::array<std::uint8_t, 48> novo{};
    for (std::size_t i = 1; i < palavras.size(); ++i) {
        const auto lido = LeInteiroDecimal(palavras[i]);
        if (!lido || *lido < 0 || *lido > 255)
            return Recusa("byte de status inválido: " + palavras[i]);
        novo[i - 1] = static_cast<std::uint8_t>(*lido);
    }
    FStatus = novo;
    FStatusAntesBloqueio.clear();
    return {true, {}};
}

TRespostaControle TDispositivo::DefineEncerrante(const std::map<std::string, std::string>& argumentos)
{
    const auto bico = argumentos.find("bico");
    const auto valor = argumentos.find("valor");
    if (bico == argumentos.end() || bico->second.size() != 2 || valor == argumentos.end())
        return Recusa("uso: encerrante bico=CC valor=V");
    const auto lido = LeDecimal(valor->second);
    if (!lido)
        return Recusa("valor inválido: " + valor->second);
    FEncerrantesDefinidos[bico->second] = *lido;
    return {true, {}};
}

// A nozzle's own price and totalizer, as a station's pump would start the day with; its later
// fuelings go on from there.
TRespostaControle TDispositivo::DefineBico(const std::map<std::string, std::string>& argumentos)
{
    const auto bico = argumentos.find("bico");
    TBicoSimulado* simulado = bico == argumentos.end() ? nullptr : ProcuraBico(bico->second);
    if (!simulado)
        return Recusa("uso: bico bico=HH [preco=P] [encerrante=E], HH um bico do concentrador");
    std::optional<double> preco, encerrante;
    if (const auto p = argumentos.find("preco"); p != argumentos.end()) {
        preco = LeDecimal(p->second);
        if (!preco || *preco < 0 || *preco > PrecoMaximo)
            return Recusa("preco inválido: " + p->second);
    }
    if (const auto e = argumentos.find("encerrante"); e != argumentos.end()) {
        encerrante = LeDecimal(e->second);
        if (!encerrante || *encerrante < 0)
            return Recusa("encerrante inválido: " + e->second);
    }
    if (preco)
        simulado->Preco = *preco;
    if (encerrante)
        simulado->Encerrante = *encerrante;
    return {true, {}};
}

TRespostaControle TDispositivo::DefineFalha(const std::map<std::string, std::string>& argumentos)
{
    static const std::map<std::string, TModoFalha> Modos{{"normal", TModoFalha::Normal},
                                                          {"silencio", TModoFalha::Silencio},
                                                          {"lixo", TModoFalha::Lixo},
                                                          {"lento", TModoFalha::Lento}};
    const auto modo = argumentos.find("modo");
    const auto achado = modo == argumentos.end() ? Modos.end() : Modos.find(modo->second);
    if (achado == Modos.end())
        return Recusa("uso: falha modo=normal|silencio|lixo|lento [atraso=MS] [baud=N] [bicos=HH,HH]");
    int atraso = 6000;
    int baud = 0;
    for (const auto& [chave, destino, maximo] : {std::tuple<const char*, int*, long long>{"atraso", &atraso, 60000},
                                                 {"baud", &baud, 1000000}}) {
        if (const auto valor = argumentos.find(chave); valor != argumentos.end()) {
            const auto lido = LeInteiroDecimal(valor->second);
            if (!lido || *lido < 0 || *lido > maximo)
                return Recusa(std::string(chave) + " inválido: " + valor->second);
            *destino = static_cast<int>(*lido);
        }
    }
    // "silencio bicos=04,44": only those nozzles' totalizer and price requests go unanswered, as
    // when one pump is off the line; the rest of the concentrator answers.
    if (const auto bicos = argumentos.find("bicos"); bicos != argumentos.end()) {
        if (achado->second != TModoFalha::Silencio)
            return Recusa("bicos= vale só com modo=silencio");
        std::set<std::string> mudos;
        std::size_t inicio = 0;
        while (inicio <= bicos->second.size()) {
            const std::size_t fim = std::min(bicos->second.find(',', inicio), bicos->second.size());
            const std::string bico = bicos->second.substr(inicio, fim - inicio);
            if (!ProcuraBico(bico))
                return Recusa("bico desconhecido: " + bico);
            mudos.insert(CodigoHexa(LeCodigoHexa(bico)));
            inicio = fim + 1;
        }
        FMudos = std::move(mudos);
        FModo = TModoFalha::Normal;
        return {true, {}};
    }
    FMudos.clear();
    FModo = achado->second;
    FAtrasoMs = atraso;
    FBaud = baud;
    return {true, {}};
}

TRespostaControle TDispositivo::DescreveEstado() const
{
    static const char* const NomesModo[] = {"normal", "silencio", "lixo", "lento"};
    std::string texto;
    for (const auto& bico : FBicos) {
        const std::string hexa = CodigoHexa(bico.Codigo);
        texto += "preco." + hexa + "=" + TextoDecimal(bico.Preco) + "\n";
        texto += "bloqueado." + hexa + "=" + (bico.Bloqueado ? "1" : "0") + "\n";
        texto += "encerrante." + hexa + "=" + TextoDecimal(bico.Encerrante) + "\n";
    }
    texto += "relogio=" + FormataRelogio(Relogio(), "%d/%m/%Y %H:%M:%S") + "\n";
    texto += "relogio_acertado=" + std::to_string(FRelogioAcertado) + "\n";
    texto += "pendentes=" + std::to_string(FPendentes.size()) + "\n";
    texto += "falha=" + std::string(NomesModo[static_cast<int>(FModo)]) + "\n";
    std::string status;
    for (std::size_t i = 0; i < FStatus.size(); ++i)
        status += (i ? " " : "") + std::to_string(FStatus[i]);
    texto += "status=" + status;
    return {true, texto};
}
