#include "AtendimentoMotor.h"

#include "Regional.h"
#include "ServicoRelogio.h"

#include <QDBusMetaType>

namespace {

QVariant Lista(const QList<QVariantMap>& lista)
{
    return QVariant::fromValue(lista);
}

// The nozzles named that are not among `conhecidos`, as the operator's message; empty when all are.
QString Desconhecidos(const QStringList& pedidos, const QStringList& conhecidos, const QStringList& foraDoConcentrador = {})
{
    QStringList erros;
    QStringList vistos;
    for (const QString& bico : pedidos) {
        if (vistos.contains(bico))
            erros << QStringLiteral("O bico %1 foi informado mais de uma vez.").arg(bico);
        else if (foraDoConcentrador.contains(bico))
            erros << QStringLiteral("O bico %1 não está no concentrador.").arg(bico);
        else if (!conhecidos.contains(bico))
            erros << QStringLiteral("O bico %1 não existe no posto (ou não está no concentrador).").arg(bico);
        vistos << bico;
    }
    return erros.join(QLatin1Char('\n'));
}

} // namespace

QVariantMap TAtendimentoMotor::Leitura(const TLinhaEncerrante& linha)
{
    return {{QStringLiteral("CodBico"), linha.CodBico}, {QStringLiteral("Descricao"), linha.Descricao},
            {QStringLiteral("Lido"), linha.Lido},       {QStringLiteral("Inicial"), linha.Inicial},
            {QStringLiteral("Final"), linha.Final},     {QStringLiteral("Saida"), linha.Saida}};
}

void TAtendimentoMotor::Bicos(const TChamadaOperador& chamada)
{
    FOperacoes.CarregaEncerrantes(this, [this, chamada](const TRespostaOperacao<QList<TLinhaEncerrante>>& encerrantes) {
        if (encerrantes.Falhou())
            return chamada.Falha(encerrantes.Erro);
        FOperacoes.CarregaPrecos(this, [chamada, encerrantes](const TRespostaOperacao<QList<TLinhaPreco>>& precos) {
            if (precos.Falhou())
                return chamada.Falha(precos.Erro);
            QList<QVariantMap> bicos;
            for (const TLinhaEncerrante& linha : encerrantes.Dados) {
                QString preco;
                for (const TLinhaPreco& p : precos.Dados)
                    if (p.CodBico == linha.CodBico)
                        preco = p.Preco;
                bicos << QVariantMap{{QStringLiteral("CodBico"), linha.CodBico},
                                     {QStringLiteral("Descricao"), linha.Descricao},
                                     {QStringLiteral("CodConcentrador"), linha.CodConcentrador.trimmed()},
                                     {QStringLiteral("Preco"), preco},
                                     {QStringLiteral("Encerrante"), linha.Inicial}};
            }
            chamada.Responde({Lista(bicos)});
        });
    });
}

void TAtendimentoMotor::MarcaEncerrantes(const TChamadaOperador& chamada, const QStringList& bicos,
                                         std::function<void(QList<TLinhaEncerrante>)> segue)
{
    FOperacoes.CarregaEncerrantes(
        this, [chamada, bicos, segue = std::move(segue)](const TRespostaOperacao<QList<TLinhaEncerrante>>& resposta) {
            if (resposta.Falhou())
                return chamada.Falha(resposta.Erro);
            QList<TLinhaEncerrante> linhas = resposta.Dados;
            QStringList conhecidos;
            QStringList fora;
            bool algum = false;
            for (TLinhaEncerrante& linha : linhas) {
                conhecidos << linha.CodBico;
                if (!TServicoEncerrantes::Marcavel(linha))
                    fora << linha.CodBico;
                linha.Marcado = TServicoEncerrantes::Marcavel(linha) && (bicos.isEmpty() || bicos.contains(linha.CodBico));
                algum = algum || linha.Marcado;
            }
            const QString erro = Desconhecidos(bicos, conhecidos, fora);
            if (!erro.isEmpty())
                return chamada.Falha(erro);
            if (!algum)
                return chamada.Falha(QStringLiteral("Nenhum bico do posto está no concentrador."));
            segue(linhas);
        });
}

void TAtendimentoMotor::LeEncerrantes(const TChamadaOperador& chamada, const QStringList& bicos)
{
    MarcaEncerrantes(chamada, bicos, [this, chamada](const QList<TLinhaEncerrante>& linhas) {
        FOperacoes.LeEncerrantes(this, chamada.Usuario(), linhas, {},
                                 [chamada](const TRespostaOperacao<TLeituraEncerrantes>& resposta) {
                                     if (resposta.Falhou())
                                         return chamada.Falha(resposta.Erro);
                                     QList<QVariantMap> leituras;
                                     for (const TLinhaEncerrante& linha : resposta.Dados.Linhas)
                                         if (linha.Marcado)
                                             leituras << Leitura(linha);
                                     chamada.Responde({Lista(leituras)});
                                 });
    });
}

void TAtendimentoMotor::GravaEncerrantes(const TChamadaOperador& chamada, const QStringList& bicos)
{
    MarcaEncerrantes(chamada, bicos, [this, chamada](const QList<TLinhaEncerrante>& linhas) {
        FOperacoes.LeEncerrantes(
            this, chamada.Usuario(), linhas, {}, [this, chamada](const TRespostaOperacao<TLeituraEncerrantes>& leitura) {
                if (leitura.Falhou())
                    return chamada.Falha(leitura.Erro);
                // All or none, as the capture dialog: a nozzle not read keeps the shift as it was.
                if (!leitura.Dados.NaoLidos.isEmpty())
                    return chamada.Falha(TServicoEncerrantes::MensagemNaoLidos(leitura.Dados.NaoLidos)
                                         + QStringLiteral("\nNenhum encerrante foi gravado."));
                const QList<TLinhaEncerrante> lidas = leitura.Dados.Linhas;
                FOperacoes.GravaEncerrantes(
                    this, chamada.Usuario(), lidas, {}, [chamada, lidas](const TRespostaOperacao<TResultadoGravacao>& gravacao) {
                        if (gravacao.Falhou())
                            return chamada.Falha(gravacao.Erro);
                        const QString mensagens = gravacao.Dados.Mensagens.join(QLatin1Char('\n'));
                        if (!gravacao.Dados.Encerra)
                            return chamada.Falha(mensagens);
                        QList<QVariantMap> leituras;
                        for (const TLinhaEncerrante& linha : lidas)
                            if (linha.Marcado)
                                leituras << Leitura(linha);
                        chamada.Responde({Lista(leituras), TChamadaOperador::TextoDoBarramento(mensagens)});
                    });
            });
    });
}

void TAtendimentoMotor::AlteraPrecos(const TChamadaOperador& chamada, const QStringList& bicos,
                                     const QStringList& precos)
{
    if (bicos.isEmpty() || bicos.size() != precos.size())
        return chamada.Falha(QStringLiteral("Informe um preço para cada bico."));
    FOperacoes.CarregaPrecos(this, [this, chamada, bicos, precos](const TRespostaOperacao<QList<TLinhaPreco>>& carga) {
        if (carga.Falhou())
            return chamada.Falha(carga.Erro);
        QStringList conhecidos;
        for (const TLinhaPreco& linha : carga.Dados)
            conhecidos << linha.CodBico;
        const QString erro = Desconhecidos(bicos, conhecidos);
        if (!erro.isEmpty())
            return chamada.Falha(erro);
        // Only the nozzles named: the others' prices are not sent again.
        QList<TLinhaPreco> linhas;
        for (qsizetype i = 0; i < bicos.size(); ++i) {
            TLinhaPreco linha = carga.Dados.at(conhecidos.indexOf(bicos[i]));
            linha.Preco = precos[i].trimmed();
            linhas << linha;
        }
        FOperacoes.GravaPrecos(this, chamada.Usuario(), linhas,
                               [chamada, linhas](const TRespostaOperacao<TResultadoPrecos>& resposta) {
                                   if (resposta.Falhou())
                                       return chamada.Falha(resposta.Erro);
                                   if (resposta.Dados.Falhou())
                                       return chamada.Falha(TServicoAlteraPreco::MensagemFalha(resposta.Dados));
                                   QStringList feitos;
                                   for (const TLinhaPreco& linha : linhas) {
                                       QString preco = linha.Preco; // as the engine wrote it
                                       TServicoAlteraPreco::ValidaPreco(preco, TConfiguracaoRegional::DoSistema());
                                       feitos << QStringLiteral("%1: %2 → %3").arg(linha.CodBico, linha.PrecoAnterior, preco);
                                   }
                                   chamada.Responde({QStringLiteral("Preço gravado no banco e na bomba: ")
                                                     + feitos.join(QStringLiteral("; "))});
                               });
    });
}

void TAtendimentoMotor::Bloqueia(const TChamadaOperador& chamada, const QStringList& bicos, bool bloquear)
{
    if (bicos.isEmpty())
        return chamada.Falha(QStringLiteral("Informe os bicos."));
    FOperacoes.CarregaBloqueio(this, [this, chamada, bicos, bloquear](const TRespostaOperacao<QList<TBicoBloqueio>>& carga) {
        if (carga.Falhou())
            return chamada.Falha(carga.Erro);
        QList<TBicoBloqueio> lista = carga.Dados;
        QStringList conhecidos;
        for (TBicoBloqueio& bico : lista) {
            conhecidos << bico.CodBico;
            if (bicos.contains(bico.CodBico))
                bico.Marcado = bloquear;
        }
        const QString erro = Desconhecidos(bicos, conhecidos);
        if (!erro.isEmpty())
            return chamada.Falha(erro);
        FOperacoes.Bloqueia(this, chamada.Usuario(), lista,
                            [chamada, bicos, bloquear](const TRespostaOperacao<TResultadoBloqueio>& resposta) {
                                if (resposta.Falhou())
                                    return chamada.Falha(resposta.Erro);
                                const TResultadoBloqueio& r = resposta.Dados;
                                const QStringList& feitos = bloquear ? r.Bloqueados : r.Liberados;
                                QStringList linhas;
                                for (const QString& bico : bicos) {
                                    if (r.BicosFalhos.contains(bico))
                                        continue;
                                    if (feitos.contains(bico))
                                        linhas << (bloquear ? QStringLiteral("Bico %1 bloqueado.")
                                                            : QStringLiteral("Bico %1 liberado."))
                                                      .arg(bico);
                                    else
                                        linhas << (bloquear ? QStringLiteral("Bico %1 já estava bloqueado.")
                                                            : QStringLiteral("Bico %1 já estava liberado."))
                                                      .arg(bico);
                                }
                                if (!r.BicosFalhos.isEmpty())
                                    return chamada.Falha((linhas + r.Falhas).join(QLatin1Char('\n')));
                                chamada.Responde({linhas.join(QLatin1Char('\n'))});
                            });
    });
}

void TAtendimentoMotor::Captura(const TChamadaOperador& chamada, int id)
{
    FOperacoes.Captura(this, chamada.Usuario(), id, QString::number(id),
                       [chamada](const TRespostaOperacao<TResultadoCaptura>& resposta) {
                           if (resposta.Falhou())
                               return chamada.Falha(resposta.Erro);
                           if (!resposta.Dados.Gravado)
                               return chamada.Falha(resposta.Dados.Texto);
                           chamada.Responde({TChamadaOperador::TextoDoBarramento(resposta.Dados.Texto)});
                       });
}

void TAtendimentoMotor::AcertaRelogio(const TChamadaOperador& chamada)
{
    FOperacoes.AcertaRelogio(this, chamada.Usuario(), [chamada](const TRespostaOperacao<TResultadoRelogio>& resposta) {
        if (resposta.Falhou())
            return chamada.Falha(resposta.Erro);
        chamada.Responde({TServicoRelogio::MensagemSucesso() + QStringLiteral(" (") + resposta.Dados.DataHora
                          + QLatin1Char(')')});
    });
}

void TAtendimentoMotor::DefineIntervalo(const TChamadaOperador& chamada, int segundos)
{
    FOperacoes.AlteraIntervalo(this, chamada.Usuario(), QString::number(segundos),
                               [this, chamada](const TRespostaOperacao<TResultadoIntervalo>& resposta) {
                                   if (FAposOperacao)
                                       FAposOperacao();
                                   if (resposta.Falhou())
                                       return chamada.Falha(resposta.Erro);
                                   if (!resposta.Dados.Falha.isEmpty())
                                       return chamada.Falha(resposta.Dados.Falha);
                                   chamada.Responde({QStringLiteral("Intervalo de leitura: %1 s → %2 s")
                                                         .arg(resposta.Dados.Anterior)
                                                         .arg(resposta.Dados.Atual)});
                               });
}

void TAtendimentoMotor::ListaDiario(const TChamadaOperador& chamada, const QString& filtro, const QString& dia)
{
    static const QMap<QString, TFiltroDiario> kFiltros{{QString(), TFiltroDiario::Todos},
                                                       {QStringLiteral("aguardando"), TFiltroDiario::Aguardando},
                                                       {QStringLiteral("retidos"), TFiltroDiario::Retidos},
                                                       {QStringLiteral("descartados"), TFiltroDiario::Descartados},
                                                       {QStringLiteral("sumidos"), TFiltroDiario::Sumidos}};
    if (!kFiltros.contains(filtro))
        return chamada.Falha(QStringLiteral("Filtro do diário desconhecido: %1 (use aguardando, retidos, "
                                            "descartados ou sumidos).")
                                 .arg(filtro));
    QDate data;
    if (!dia.isEmpty()) {
        data = QDate::fromString(dia, QStringLiteral("dd/MM/yyyy"));
        if (!data.isValid())
            return chamada.Falha(QStringLiteral("'%1' não é uma data DD/MM/AAAA.").arg(dia));
    }
    FOperacoes.ListaDiario(this, kFiltros.value(filtro), data,
                           [chamada](const TRespostaOperacao<QList<TEntradaDiario>>& resposta) {
                               if (resposta.Falhou())
                                   return chamada.Falha(resposta.Erro);
                               QList<QVariantMap> entradas;
                               for (const TEntradaDiario& e : resposta.Dados)
                                   entradas << QVariantMap{
                                       {QStringLiteral("Numero"), qlonglong(e.Numero)},
                                       {QStringLiteral("LidoEm"), e.LidoEm.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))},
                                       {QStringLiteral("Estado"), NomeEstado(e.Estado)},
                                       {QStringLiteral("Id"), e.Campos.Id},
                                       {QStringLiteral("Bico"), e.Campos.Bico},
                                       {QStringLiteral("Data"), e.Campos.Data},
                                       {QStringLiteral("Hora"), e.Campos.Hora},
                                       {QStringLiteral("Litragem"), e.Campos.Litragem},
                                       {QStringLiteral("ValorTotal"), double(e.Campos.ValorTotal) / 10000.0},
                                       {QStringLiteral("Motivo"), TChamadaOperador::TextoDoBarramento(e.Motivo)}};
                               chamada.Responde({Lista(entradas)});
                           });
}

void TAtendimentoMotor::ReenviaDiario(const TChamadaOperador& chamada, qint64 numero, bool novaSequencia)
{
    if (numero < 0)
        return chamada.Falha(QStringLiteral("Número de entrada inválido: %1.").arg(numero));
    FOperacoes.ReenviaDiario(this, chamada.Usuario(), numero, novaSequencia,
                             [this, chamada](const TRespostaOperacao<TResultadoReenvio>& resposta) {
                                 if (FAposOperacao)
                                     FAposOperacao();
                                 if (resposta.Falhou())
                                     return chamada.Falha(resposta.Erro);
                                 const int quantas = resposta.Dados.Quantas;
                                 chamada.Responde({quantas == 0   ? QStringLiteral("Nenhuma entrada retida para reenviar.")
                                                   : quantas == 1 ? QStringLiteral("1 entrada voltou a aguardar.")
                                                                  : QStringLiteral("%1 entradas voltaram a aguardar.")
                                                                        .arg(quantas)});
                             });
}
