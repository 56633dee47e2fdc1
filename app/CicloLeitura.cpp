// The poll cycle and the pump status monitor.
#include "MenuPrin.h"

#include "Erro.h"
#include "Textos.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <QTimer>

namespace {
constexpr int kPassosAnimacao = 14;
constexpr int kPosicoesComCodigo = 32;
} // namespace

void TMenuPrin::LeConcentradorTimer()
{
    // The timer stays off for the whole tick, so ticks never nest, and the next one comes one full
    // interval after this one ends.
    LeConcentrador->stop();
    auto reabilita = qScopeGuard([this] { HabilitaLeitura(); });
    AnimaStatus();
    try {
        if (UsaFid)
            ProcessaAbastecimentoFid(Concentrador->GetLeAbastecimentoFID());
        else
            ProcessaAbastecimento(Concentrador->GetLeAbastecimento());
    } catch (const std::exception& e) {
        GravaLogErro(QStringLiteral("Erro ao ler abastecimento: ") + MensagemDe(e));
    }
    if (ParaPosto->CampoTexto(QStringLiteral("visualizastatusbomba")) == QLatin1String("S"))
        AtualizaStatusBicos();
    QCoreApplication::processEvents();
}

void TMenuPrin::AnimaStatus()
{
    const QString atual = TextoPainel(0);
    for (int passo = 0; passo < kPassosAnimacao; ++passo) {
        if (atual == kProcurandoAbastecimentos + QString(passo, '.')) {
            DefineTextoPainel(0, kProcurandoAbastecimentos + QString((passo + 1) % kPassosAnimacao, '.'));
            return;
        }
    }
}

QStringList TMenuPrin::MontaCanais(const QString& Codigo)
{
    // Position j on channel k is known to the station as 4 + 64*(k-1) + (j-1).
    for (int canal = 0; canal < 4; ++canal) {
        for (int linha = 0; linha < kPosicoesComCodigo; ++linha) {
            if (StrZero(QString::number(4 + 64 * canal + linha), 3) == Codigo) {
                QStringList codigos;
                for (int k = 0; k < 4; ++k)
                    codigos << StrZero(QString::number(4 + 64 * k + linha), 3);
                return codigos;
            }
        }
    }
    return {QString(), QString(), QString(), QString()};
}

void TMenuPrin::AtualizaStatusBicos()
{
    TConsulta atualiza(&CnTankora);
    atualiza.DefineSQL(QStringLiteral("UPDATE BOMBAS SET                                  BOMBAS.statusbico = "
                                      ":PStatusBico                  Where BOMBAS.codconcentrador = "
                                      ":PCodConcentrador "));
    const QString status = Concentrador->GetLeStatus();
    static const QString kLetras = QStringLiteral("ABCEFLP");
    // One commit for the whole tick when no other transaction is open; inside another one's
    // transaction the updates simply join it.
    const bool transacaoPropria = !CnTankora.EmTransacao();
    if (transacaoPropria)
        CnTankora.IniciaTransacao();
    auto desfaz = qScopeGuard([&] {
        if (transacaoPropria && CnTankora.EmTransacao())
            CnTankora.Desfaz();
    });
    // Positions above 32 have no concentrator codes: an update with an empty code would stamp
    // every nozzle that is not on the concentrator, so they are skipped.
    const int posicoes = static_cast<int>(std::min<qsizetype>(status.size(), kPosicoesComCodigo));
    for (int p = 1; p <= posicoes; ++p) {
        const QChar letra = status.at(p - 1);
        if (!kLetras.contains(letra))
            continue;
        const QStringList codigos = MontaCanais(StrZero(QString::number(p + 3), 3));
        for (const QString& codigo : codigos) {
            try {
                atualiza.DefineTexto(QStringLiteral("PStatusBico"), QString(letra));
                atualiza.DefineTexto(QStringLiteral("PCodConcentrador"), codigo);
                atualiza.Executa();
            } catch (const std::exception& e) {
                const QString mensagem = MensagemDe(e);
                GravaLogErro(QStringLiteral("Erro ao tentar gravar status do bico ") + StrZero(QString::number(p), 2));
                // What was written before the failure stays, as if each update had been committed.
                if (transacaoPropria)
                    CnTankora.Confirma();
                throw EErro(QStringLiteral("Erro ao tentar gravar o status do bico") + mensagem);
            }
        }
    }
    if (transacaoPropria)
        CnTankora.Confirma();
}
