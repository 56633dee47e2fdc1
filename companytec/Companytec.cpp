// Our concentrator library: the entries the program calls, each one bounded exchange with the
// device over the serial port. Two delivery contracts, chosen at each port opening:
// - ours (the default): the device drops a fueling only when the next read (or a clean close)
//   acknowledges it; FechaSerialSemConfirmar closes without, and the device delivers the last one
//   again to whoever reads next. A reader killed before its next read gets it again too.
// - the vendor's, with COMPANYTEC_CONFIRMA_NA_ENTREGA=1 in the environment: a read takes the
//   fueling off the device as it delivers it (a second exchange acknowledges it before the read
//   returns); the close acknowledges whatever was delivered and not yet acknowledged (an
//   acknowledgement that went unanswered). Nothing delivered comes back after a reopen or a kill;
//   FechaSerialSemConfirmar has nothing to keep beyond such an unanswered acknowledgement.
#include "EntradasCompanytec.h"
#include "Porta.h"
#include "Protocolo.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <type_traits>

using namespace Protocolo;

namespace {
// Every exchange gives up after this long, so no entry takes much more than a second.
constexpr int EsperaMs = 800;

std::mutex gTrava;
TPorta gPorta;
// Delivery number of the last fueling handed to the caller and not yet acknowledged (0: none).
std::uint32_t gUltimaEntregue = 0;
// The opening of the port it was delivered over.
unsigned gAberturaEntregue = 0;
// The vendor's contract: each fueling acknowledged as it is delivered (see the top of this file).
bool gConfirmaNaEntrega = false;
std::string gTextoPreco = "0";

std::string TextoOuVazio(const char* texto)
{
    return texto ? std::string(texto) : std::string();
}

std::optional<TQuadro> Pede(std::uint8_t comando, const TBytes& dados = {})
{
    if (!gPorta.Escolhida())
        return std::nullopt;
    return gPorta.Troca(comando, dados, EsperaMs);
}

// Unanswered (no reply, or one that could not be read): the entries then return a negative value.
constexpr std::int32_t kSemResposta = -1;

std::optional<TDadosAbastecimento> PedeAbastecimento(bool& respondeu)
{
    respondeu = false;
    // After the link was lost and found again the device may be another one (restarted, its
    // numbering begun afresh): an old acknowledgement could drop a fueling nobody received. The
    // fueling it meant is delivered again instead, which the program recognises.
    if (gPorta.Escolhida() && gPorta.Prepara() && gPorta.Aberturas() != gAberturaEntregue)
        gUltimaEntregue = 0;
    const auto resposta = Pede(CmdLeAbastecimento, TEscritor().Natural32(gUltimaEntregue).Bytes());
    if (!resposta)
        return std::nullopt;
    respondeu = true;
    TLeitor leitor(resposta->Dados);
    if (leitor.Byte() != 1)
        return std::nullopt;
    auto dados = DecodificaAbastecimento(leitor);
    if (dados) {
        gUltimaEntregue = dados->Chave;
        gAberturaEntregue = gPorta.Aberturas();
        // An acknowledgement left unanswered is repeated by the next read or the close: the device
        // may then hand this one out again, never drop one nobody received.
        if (gConfirmaNaEntrega && Pede(CmdConfirma, TEscritor().Natural32(dados->Chave).Bytes()))
            gUltimaEntregue = 0;
    }
    return dados;
}

std::uint8_t PedeConfirmacao(std::uint8_t comando, const TBytes& dados)
{
    const auto resposta = Pede(comando, dados);
    if (!resposta)
        return 0;
    TLeitor leitor(resposta->Dados);
    return leitor.Byte();
}
} // namespace

#define ENTRADA(tipo, nome) extern "C" COMPANYTEC_EXPORTA tipo COMPANYTEC_CHAMADA nome

ENTRADA(std::int32_t, InicializaSerial)(std::int32_t Porta)
{
    std::lock_guard trava(gTrava);
    const std::string caminho = TPorta::CaminhoDaPorta(Porta & 0xFF);
    if (caminho.empty())
        return 0;
    const char* contrato = std::getenv("COMPANYTEC_CONFIRMA_NA_ENTREGA");
    gConfirmaNaEntrega = contrato && std::strcmp(contrato, "1") == 0;
    return gPorta.Abre(caminho) ? 1 : 0;
}

ENTRADA(std::int32_t, FechaSerial)()
{
    std::lock_guard trava(gTrava);
    if (!gPorta.Escolhida())
        return 0;
    // A clean close acknowledges the last fueling delivered, to the device that delivered it.
    if (gPorta.Prepara() && gPorta.Aberturas() != gAberturaEntregue)
        gUltimaEntregue = 0;
    if (Pede(CmdFecha, TEscritor().Natural32(gUltimaEntregue).Bytes()))
        gUltimaEntregue = 0;
    gPorta.Fecha();
    return 1;
}

// The close while the last fueling delivered waits to be stored: the device keeps it and
// delivers it again to whoever reads next. Under the vendor's contract the read already took it.
ENTRADA(std::int32_t, FechaSerialSemConfirmar)()
{
    std::lock_guard trava(gTrava);
    if (!gPorta.Escolhida())
        return 0;
    gUltimaEntregue = 0;
    gPorta.Fecha();
    return 1;
}

ENTRADA(std::int32_t, LeAbastecimento)(void* Registro144)
{
    std::lock_guard trava(gTrava);
    if (!Registro144)
        return 0;
    auto* registro = static_cast<std::uint8_t*>(Registro144);
    std::memset(registro, 0, TamanhoRegistroPlano);
    bool respondeu = false;
    const auto dados = PedeAbastecimento(respondeu);
    if (!dados)
        return respondeu ? 0 : kSemResposta;
    PreencheRegistroPlano(registro, *dados);
    return 1;
}

ENTRADA(std::int32_t, LeAbastecimentoFid)(void* Registro176)
{
    std::lock_guard trava(gTrava);
    if (!Registro176)
        return 0;
    auto* registro = static_cast<std::uint8_t*>(Registro176);
    std::memset(registro, 0, TamanhoRegistroFid);
    bool respondeu = false;
    const auto dados = PedeAbastecimento(respondeu);
    if (!dados)
        return respondeu ? 0 : kSemResposta;
    PreencheRegistroFid(registro, *dados);
    return 1;
}

ENTRADA(std::int32_t, LeRegistro)(void* Registro144, std::int32_t Id)
{
    std::lock_guard trava(gTrava);
    if (!Registro144)
        return 0;
    auto* registro = static_cast<std::uint8_t*>(Registro144);
    std::memset(registro, 0, TamanhoRegistroPlano);
    const auto resposta = Pede(CmdLeRegistro, TEscritor().Inteiro32(Id).Bytes());
    if (!resposta)
        return kSemResposta;
    TLeitor leitor(resposta->Dados);
    if (leitor.Byte() != 1)
        return 0;
    const auto dados = DecodificaAbastecimento(leitor);
    if (!dados)
        return 0;
    PreencheRegistroPlano(registro, *dados);
    return 1;
}

ENTRADA(std::int32_t, LeStatus)(std::uint8_t* Status48)
{
    std::lock_guard trava(gTrava);
    if (!Status48)
        return 0;
    std::memset(Status48, 0, 48);
    const auto resposta = Pede(CmdLeStatus);
    if (!resposta || resposta->Dados.size() != 48)
        return 0;
    std::memcpy(Status48, resposta->Dados.data(), 48);
    return 1;
}

ENTRADA(std::int32_t, LeStStatus)(char* Texto101)
{
    std::lock_guard trava(gTrava);
    if (!Texto101)
        return 0;
    std::memset(Texto101, 0, 101);
    const auto resposta = Pede(CmdLeStStatus);
    if (!resposta)
        return 0;
    std::memcpy(Texto101, resposta->Dados.data(), std::min<std::size_t>(resposta->Dados.size(), 100));
    return 1;
}

ENTRADA(std::int32_t, ConsultaEncerrante)(void* Registro16, std::int32_t Tipo, const char* Bico)
{
    std::lock_guard trava(gTrava);
    if (!Registro16)
        return 0;
    auto* registro = static_cast<std::uint8_t*>(Registro16);
    std::memset(registro, 0, TamanhoRegistroEncerrante);
    const auto resposta = Pede(
        CmdEncerrante, TEscritor().Byte(static_cast<std::uint8_t>(Tipo & 0xFF)).Texto(TextoOuVazio(Bico)).Bytes());
    if (!resposta)
        return 0;
    TLeitor leitor(resposta->Dados);
    const std::string bico = leitor.Texto();
    const double valor = leitor.Real();
    if (!leitor.Ok())
        return 0;
    PreencheRegistroEncerrante(registro, bico, valor);
    return 1;
}

ENTRADA(std::int32_t, RefAltPreco)(const char* Bico, double Preco, std::int32_t Modo, std::uint8_t* Retorno)
{
    std::lock_guard trava(gTrava);
    const std::uint8_t aceito = PedeConfirmacao(
        CmdAlteraPreco,
        TEscritor().Texto(TextoOuVazio(Bico)).Real(Preco).Byte(static_cast<std::uint8_t>(Modo & 0xFF)).Bytes());
    if (Retorno)
        *Retorno = aceito;
    return aceito;
}

ENTRADA(std::int32_t, RefLePPL)(const char* Bico, const char** Texto)
{
    std::lock_guard trava(gTrava);
    double preco = 0;
    if (const auto resposta = Pede(CmdLePreco, TEscritor().Texto(TextoOuVazio(Bico)).Bytes())) {
        TLeitor leitor(resposta->Dados);
        leitor.Byte();
        preco = leitor.Real();
        if (!leitor.Ok())
            preco = 0;
    }
    // Always "." as the decimal point, whatever locale the host process runs under.
    char texto[64];
    const auto fim = std::to_chars(texto, texto + sizeof texto - 1, preco, std::chars_format::fixed, 4).ptr;
    gTextoPreco.assign(texto, fim);
    if (Texto)
        *Texto = gTextoPreco.c_str();
    return 1;
}

ENTRADA(std::int32_t, BloqueiaBico)(const char* Bico)
{
    std::lock_guard trava(gTrava);
    return PedeConfirmacao(CmdBloqueia, TEscritor().Texto(TextoOuVazio(Bico)).Bytes());
}

ENTRADA(std::int32_t, AutoLibera)(const char* Bico)
{
    std::lock_guard trava(gTrava);
    return PedeConfirmacao(CmdLibera, TEscritor().Texto(TextoOuVazio(Bico)).Bytes());
}

ENTRADA(std::int32_t, SetClock)(const char* Modo)
{
    std::lock_guard trava(gTrava);
    (void)Modo; // only "AUTO" exists: the computer's own clock
    const std::time_t agora = std::time(nullptr);
    std::tm local{};
    localtime_r(&agora, &local);
    char texto[32];
    std::strftime(texto, sizeof texto, "%d/%m/%Y %H:%M:%S", &local);
    return Pede(CmdAcertaRelogio, TEscritor().Texto(texto).Bytes()) ? 1 : 0;
}

ENTRADA(std::int32_t, LeVisualizacao)(void* Registro256)
{
    if (Registro256)
        std::memset(Registro256, 0, TamanhoVisualizacao);
    return 0;
}

// Entries the program looks up but never calls: present, and harmless.
ENTRADA(std::int32_t, AlteraPreco)(const char*, double)
{
    return 0;
}

ENTRADA(std::int32_t, Preset)(const char*, double)
{
    return 0;
}

ENTRADA(std::int32_t, LePPL)(const char*, char* Texto)
{
    if (Texto)
        *Texto = '\0';
    return 0;
}

ENTRADA(std::int32_t, LeStringAb)(char* Texto)
{
    if (Texto)
        *Texto = '\0';
    return 0;
}

ENTRADA(std::int32_t, WriteSerial)(const char*)
{
    return 0;
}

ENTRADA(std::int32_t, RefEncerrante)(const char*, double* Valor)
{
    if (Valor)
        *Valor = 0;
    return 0;
}

ENTRADA(std::int32_t, Incrementa)()
{
    return 0;
}

ENTRADA(std::int32_t, CobLeSTEncerrante)(char* Texto)
{
    if (Texto)
        *Texto = '\0';
    return 0;
}

ENTRADA(std::int32_t, LeAbFix)(void* Registro144)
{
    if (Registro144)
        std::memset(Registro144, 0, TamanhoRegistroPlano);
    return 0;
}

// Both sides of the binding agree on every entry's type.
#define CONFERE(nome) static_assert(std::is_same_v<decltype(&nome), TEntrada##nome>)
CONFERE(FechaSerial);
CONFERE(FechaSerialSemConfirmar);
CONFERE(InicializaSerial);
CONFERE(SetClock);
CONFERE(LeStatus);
CONFERE(LeStStatus);
CONFERE(LeAbastecimento);
CONFERE(LeAbastecimentoFid);
CONFERE(LeRegistro);
CONFERE(ConsultaEncerrante);
CONFERE(RefAltPreco);
CONFERE(RefLePPL);
CONFERE(BloqueiaBico);
CONFERE(AutoLibera);
CONFERE(LeVisualizacao);
CONFERE(AlteraPreco);
CONFERE(Preset);
CONFERE(LePPL);
CONFERE(LeStringAb);
CONFERE(WriteSerial);
CONFERE(RefEncerrante);
CONFERE(Incrementa);
CONFERE(CobLeSTEncerrante);
CONFERE(LeAbFix);
