// The frame reader over any byte stream: what it hands out are frames that really were in the stream,
// at the place its byte count says; its data goes through the fueling coding and the library's
// records like an answer from the device would.
#include "Alvos.h"
#include "Protocolo.h"

#include <algorithm>
#include <cmath>
#include <memory>

using namespace Protocolo;

namespace {
// Piece sizes derived from the input, so that a failing input replays the same way.
class TPedacos {
public:
    TPedacos(const std::uint8_t* dados, std::size_t tamanho)
    {
        for (std::size_t i = 0; i < std::min<std::size_t>(tamanho, 16); ++i)
            FEstado = FEstado * 31 + dados[i];
    }
    std::size_t Proximo()
    {
        FEstado = FEstado * 1664525u + 1013904223u;
        return 1 + (FEstado >> 24) % 48;
    }

private:
    std::uint32_t FEstado = 17;
};

void ConfereDados(const TBytes& dados)
{
    // A fueling that decodes codes back to the very bytes it came from.
    TLeitor leitor(dados);
    if (const auto abastecimento = DecodificaAbastecimento(leitor)) {
        TEscritor escritor;
        CodificaAbastecimento(escritor, *abastecimento);
        Exige(escritor.Bytes().size() <= dados.size() &&
                  std::equal(escritor.Bytes().begin(), escritor.Bytes().end(), dados.begin()),
              "decoded fueling does not code back to its bytes");
        // Exactly sized, so that any write past a record's end is caught.
        const auto plano = std::make_unique<std::uint8_t[]>(TamanhoRegistroPlano);
        const auto fid = std::make_unique<std::uint8_t[]>(TamanhoRegistroFid);
        const auto encerrante = std::make_unique<std::uint8_t[]>(TamanhoRegistroEncerrante);
        PreencheRegistroPlano(plano.get(), *abastecimento);
        PreencheRegistroFid(fid.get(), *abastecimento);
        PreencheRegistroEncerrante(encerrante.get(), abastecimento->Bico, abastecimento->EncerranteFinal);
        Exige(plano[41] <= 2 && fid[41] <= 2 && encerrante[0] <= 7, "short text longer than its field");
    }

    // Any sequence of field reads: once past the end, every read fails and yields nothing.
    TLeitor campos(dados);
    bool falhou = false;
    for (std::size_t i = 0; i < dados.size() && i < 64; ++i) {
        bool vazio = false;
        switch (dados[i] % 6) {
        case 0: vazio = campos.Byte() == 0; break;
        case 1: vazio = campos.Natural32() == 0; break;
        case 2: vazio = campos.Inteiro32() == 0; break;
        case 3: vazio = campos.Inteiro64() == 0; break;
        case 4: { const double real = campos.Real(); vazio = real == 0 && !std::signbit(real); break; }
        default: vazio = campos.Texto().empty(); break;
        }
        Exige(!falhou || (!campos.Ok() && vazio), "field read after a failed one");
        falhou = !campos.Ok();
    }
}

// Feeds the stream in pieces (all at once when `inteiro`) and checks every frame against it.
std::vector<TQuadro> LeQuadros(const std::uint8_t* dados, std::size_t tamanho, bool inteiro, bool conferirDados)
{
    TLeitorQuadros leitor;
    TPedacos pedacos(dados, tamanho);
    std::vector<TQuadro> quadros;
    std::size_t emQuadros = 0;
    const auto extrai = [&] {
        while (auto quadro = leitor.ExtraiQuadro()) {
            Exige(quadro->Dados.size() <= MaximoDados, "frame longer than the most data");
            const TBytes bytes = MontaQuadro(*quadro);
            emQuadros += bytes.size();
            const std::size_t fim = leitor.Descartados() + emQuadros;
            Exige(fim <= tamanho && std::equal(bytes.begin(), bytes.end(), dados + fim - bytes.size()),
                  "frame handed out is not the bytes the reader counted past");
            if (conferirDados)
                ConfereDados(quadro->Dados);
            quadros.push_back(std::move(*quadro));
        }
    };
    std::size_t posicao = 0;
    while (posicao < tamanho) {
        const std::size_t pedaco = inteiro ? tamanho : std::min(pedacos.Proximo(), tamanho - posicao);
        leitor.Acrescenta(dados + posicao, pedaco);
        posicao += pedaco;
        Exige(leitor.Pendentes() <= MaximoAcumulado, "reader holds more than its bound");
        extrai();
    }
    Exige(leitor.Descartados() + emQuadros + leitor.Pendentes() == tamanho, "bytes lost from the count");
    return quadros;
}

// The input as a list of frames: number, command, data length, data. Their concatenation, read at
// once, gives them back in order.
void ConfereSequencia(const std::uint8_t* dados, std::size_t tamanho)
{
    std::vector<TQuadro> enviados;
    TBytes fluxo;
    std::size_t i = 0;
    while (i + 3 <= tamanho) {
        TQuadro quadro{dados[i], dados[i + 1], {}};
        const std::size_t pedido = dados[i + 2];
        i += 3;
        const std::size_t disponivel = std::min(pedido, tamanho - i);
        quadro.Dados.assign(dados + i, dados + i + disponivel);
        i += disponivel;
        TBytes bytes = MontaQuadro(quadro);
        if (fluxo.size() + bytes.size() > MaximoAcumulado)
            break;
        quadro.Dados.resize(std::min(quadro.Dados.size(), MaximoDados));
        fluxo.insert(fluxo.end(), bytes.begin(), bytes.end());
        enviados.push_back(std::move(quadro));
    }
    Exige(LeQuadros(fluxo.data(), fluxo.size(), true, false) == enviados, "well-formed frames not read back in order");
}
} // namespace

void TestaQuadros(const std::uint8_t* dados, std::size_t tamanho)
{
    LeQuadros(dados, tamanho, true, true);
    LeQuadros(dados, tamanho, false, false);
    ConfereSequencia(dados, tamanho);
}

std::vector<TEntradaFuzz> ExemplosQuadros()
{
    TDadosAbastecimento abastecimento;
    abastecimento.Chave = 7;
    abastecimento.Id = 169;
    abastecimento.Bico = "44";
    abastecimento.Litragem = 25.437;
    abastecimento.ValorTotal = 1500500;
    abastecimento.PrecoUnit = 58990;
    abastecimento.Data = "09/12/2025";
    abastecimento.Hora = "14:03:27";
    abastecimento.EncerranteFinal = 123456.5;
    TEscritor resposta;
    resposta.Byte(1);
    CodificaAbastecimento(resposta, abastecimento);
    TEscritor soAbastecimento;
    CodificaAbastecimento(soAbastecimento, abastecimento);

    const TBytes status = MontaQuadro({1, CmdLeStatus | Resposta, TBytes(48, 'L')});
    const TBytes leitura = MontaQuadro({2, CmdLeAbastecimento | Resposta, resposta.Bytes()});
    TBytes dois = status;
    dois.insert(dois.end(), leitura.begin(), leitura.end());
    TBytes comLixo{0xFF, Inicio, 0x40, 0x00, Inicio};
    comLixo.insert(comLixo.end(), dois.begin(), dois.end());
    // A list of frames as ConfereSequencia reads it.
    TBytes lista{3, CmdEncerrante | Resposta, 4, 2, '4', '4', 0, 4, CmdLePreco, 3, 2, '0', '5'};
    return {status, leitura, dois, comLixo, lista, soAbastecimento.Bytes()};
}
