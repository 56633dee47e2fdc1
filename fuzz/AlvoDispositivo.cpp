// The simulated concentrator fed any requests, control commands and automatic fuelings in any
// order: every answer fits in a frame, repeats its request, and a fueling it offers decodes.
#include "Alvos.h"
#include "Dispositivo.h"

#include <algorithm>
#include <random>
#include <sstream>

using namespace Protocolo;

namespace {
enum TPasso : std::uint8_t { PassoPedido, PassoComando, PassoAutomatico };

void ConfereResposta(const TQuadro& pedido, const TQuadro& resposta)
{
    Exige(resposta.Numero == pedido.Numero && resposta.Comando == (pedido.Comando | Resposta),
          "answer does not repeat its request");
    Exige(resposta.Dados.size() <= MaximoDados, "answer longer than a frame carries");
    if (pedido.Comando != CmdLeAbastecimento && pedido.Comando != CmdLeRegistro)
        return;
    TLeitor leitor(resposta.Dados);
    if (leitor.Byte() == 1) {
        const auto abastecimento = DecodificaAbastecimento(leitor);
        Exige(abastecimento && leitor.Fim(), "fueling offered does not decode");
        Exige(abastecimento->PrecoUnit >= 0 && abastecimento->ValorTotal >= 0, "fueling with money out of range");
    }
    Exige(leitor.Ok() && leitor.Fim(), "fueling answer with stray bytes");
}
} // namespace

// Steps: kind, length, that many bytes. A request is its command, number and data; a command is
// its words separated by blanks.
void TestaDispositivo(const std::uint8_t* dados, std::size_t tamanho)
{
    TDispositivo dispositivo({0x04, 0x05, 0x44, 0x45});
    std::mt19937 gerador(1);
    std::size_t i = 0;
    while (i + 2 <= tamanho) {
        const auto passo = static_cast<TPasso>(dados[i] % 3);
        const std::size_t comprimento = std::min<std::size_t>(dados[i + 1], tamanho - i - 2);
        const std::uint8_t* corpo = dados + i + 2;
        i += 2 + comprimento;
        if (passo == PassoPedido && comprimento >= 2) {
            const TQuadro pedido{corpo[1], corpo[0], TBytes(corpo + 2, corpo + comprimento)};
            if (const auto resposta = dispositivo.AtendePedido(pedido))
                ConfereResposta(pedido, *resposta);
        } else if (passo == PassoComando) {
            std::istringstream texto(std::string(reinterpret_cast<const char*>(corpo), comprimento));
            std::vector<std::string> palavras;
            for (std::string palavra; texto >> palavra;)
                palavras.push_back(palavra);
            dispositivo.ExecutaComando(palavras);
        } else if (passo == PassoAutomatico) {
            dispositivo.AbastecimentoAutomatico(gerador);
        }
    }
    // Whatever went before, the queue still hands out what it holds.
    const TQuadro leitura{1, CmdLeAbastecimento, TEscritor().Natural32(0).Bytes()};
    ConfereResposta(leitura, *dispositivo.AtendePedido(leitura));
}

std::vector<TEntradaFuzz> ExemplosDispositivo()
{
    const auto pedido = [](TComando comando, const TBytes& dadosPedido) {
        TEntradaFuzz passo{PassoPedido, static_cast<std::uint8_t>(dadosPedido.size() + 2), comando, 9};
        passo.insert(passo.end(), dadosPedido.begin(), dadosPedido.end());
        return passo;
    };
    const auto comando = [](const std::string& texto) {
        TEntradaFuzz passo{PassoComando, static_cast<std::uint8_t>(texto.size())};
        passo.insert(passo.end(), texto.begin(), texto.end());
        return passo;
    };
    const auto junta = [](std::initializer_list<TEntradaFuzz> passos) {
        TEntradaFuzz entrada;
        for (const auto& passo : passos)
            entrada.insert(entrada.end(), passo.begin(), passo.end());
        return entrada;
    };
    const TEntradaFuzz automatico{PassoAutomatico, 0};
    return {
        junta({comando("abastece bico=44 litros=25.437 preco=5.899 id=169 fid=00A1B2C3D4E5F607"),
               pedido(CmdLeAbastecimento, TEscritor().Natural32(0).Bytes()),
               pedido(CmdFecha, TEscritor().Natural32(1).Bytes())}),
        junta({pedido(CmdAlteraPreco, TEscritor().Texto("45").Real(6.499).Byte(3).Bytes()), automatico,
               pedido(CmdLeRegistro, TEscritor().Inteiro32(1).Bytes())}),
        junta({comando("encerrante bico=68 valor=5432.125"), pedido(CmdEncerrante, TEscritor().Byte('L').Texto("68").Bytes()),
               pedido(CmdBloqueia, TEscritor().Texto("44").Bytes()), pedido(CmdLeStStatus, {}),
               comando("status 0 1 2 3 4 5 6 9"), pedido(CmdLeStatus, {})}),
        junta({pedido(CmdAcertaRelogio, TEscritor().Texto("09/12/2025 14:03:27").Bytes()), comando("falha modo=lento"),
               automatico, comando("estado")}),
    };
}
