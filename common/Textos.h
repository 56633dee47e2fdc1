#pragma once
// Text and number helpers behind the log columns, the zero-padded codes and the rounding of
// volumes and money. Several differ on purpose from the textbook operation of the same name.
#include <QString>

struct TConfiguracaoRegional;

// The text trimmed, cut to its rightmost `largura` characters or left-padded with "0".
QString StrZero(const QString& texto, int largura);
// Adds `preenchimento` on the left (or right) until `largura` is reached; never shortens.
QString CompletaTexto(const QString& texto, const QString& preenchimento, int largura, bool esquerda);
// Whether `texto` contains `procurado`; an empty `texto` never does.
bool ContemTexto(const QString& procurado, const QString& texto);
// Every occurrence replaced, the rightmost first, including occurrences a replacement creates.
QString SubstituiTexto(const QString& texto, const QString& procurado, const QString& substituto);
QString Espacos(int quantidade);
// Half away from zero, judged on the value's 18-significant-digit decimal form (1.005 gives 1.0).
double Arredonda(double valor, int casas);
// The rightmost `quantidade` characters, left-padded with spaces.
QString DireitaTexto(const QString& texto, int quantidade);
// The value formatted by a mask such as "#,##0.000", left-padded with spaces to the mask's length.
QString FormataNumero(const QString& mascara, double valor, const TConfiguracaoRegional& regional);
