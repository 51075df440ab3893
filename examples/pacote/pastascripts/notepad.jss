; Scripts do Bloco de Notas
include "hjconst.jsh"

Script LerLinhaAtual ()
	SayLine ()
	SayInteger (GetCursorRow ())
EndScript

Script InformarColuna ()
	SayInteger (GetCursorCol ())
EndScript
