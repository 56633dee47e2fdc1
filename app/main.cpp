#include "Aplicacao.h"
#include "CaixaMensagem.h"
#include "Linkor.h"
#include "MenuPrin.h"
#include "OpcoesPrograma.h"

namespace {
const QString kDescricao = QStringLiteral("Linkor: comunicação entre o banco do posto e o concentrador CompanyTec.");
}

#include <cstdio>
#include <cstdlib>

namespace {
// The engine did not stop within the bound: stuck in the database or on the line. It is left
// behind without being finalised, so the concentrator is told nothing (a fueling not yet stored is
// delivered again on the next run); only what needs no engine is flushed before the process ends.
[[noreturn]] void EncerraSemOMotor(const TContexto& contexto, int codigo)
{
    TLogArquivo log;
    try {
        log.Acrescenta(contexto.Relogio().PastaExecutavel() + QStringLiteral("LogErroConcentrador"),
                       MontaLinhaErro(contexto.Relogio().Agora(),
                                      QStringLiteral("Linkor encerrado sem esperar o banco de dados ou o "
                                                     "concentrador, que não responderam; nada pendente foi "
                                                     "confirmado ao concentrador."),
                                      contexto.Regional()));
    } catch (const std::exception&) {
        // the process ends now: there is nowhere left to say it
    }
    std::fflush(nullptr);
    std::_Exit(codigo);
}
} // namespace

int main(int argc, char** argv)
{
    if (PedeSoAjuda(argc, argv)) { // answered and ended without a display
        QCoreApplication ajuda(argc, argv);
        LeOpcoesPrograma(ajuda, kDescricao);
    }
    TAplicacao::BloqueiaSinais();
    TAplicacao aplicacao(argc, argv);
    const TOpcoesPrograma opcoes = LeOpcoesPrograma(aplicacao, kDescricao);
    if (!opcoes.Erro.isEmpty()) {
        aplicacao.Caixas().MostraMensagem(TTipoMensagem::Erro, opcoes.Erro);
        return 1;
    }
    aplicacao.InstalaTratamentoSinais();
    const TRelogio relogio(opcoes.PastaPosto);
    TContexto contexto(relogio, aplicacao.Caixas());
    TLinkor linkor(contexto);
    TMenuPrin janela(linkor);
    janela.ExibeInicial();
    const int codigo = aplicacao.exec();
    if (janela.Motor().Abandonado() || !janela.Motor().Para(TMenuPrin::kEsperaMotorMs))
        EncerraSemOMotor(contexto, codigo);
    return codigo;
}
