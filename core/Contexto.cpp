#include "Contexto.h"

TContexto::TContexto(const TRelogio& relogio, TMensagens& mensagens, const TConfiguracaoRegional& regional)
    : FRelogio(relogio), FMensagens(mensagens), FRegional(regional)
{
    FConexao.DefineRegional(regional);
}

// Freeing the driver leaves the vendor library loaded until the process ends.
TContexto::~TContexto() = default;

void TContexto::DefineConcentrador(std::unique_ptr<TConcentrador> concentrador)
{
    FConcentrador = std::move(concentrador);
}

void TContexto::DefineDiario(std::unique_ptr<TDiario> diario)
{
    FDiario = std::move(diario);
}

void TContexto::GravaLogErro(const QString& mensagem)
{
    FLogErros.Acrescenta(FRelogio.PastaExecutavel() + QStringLiteral("LogErroConcentrador"),
                         MontaLinhaErro(FRelogio.Agora(), mensagem, FRegional));
}
