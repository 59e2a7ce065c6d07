ardour {
	["type"]    = "dsp",
	name        = "Brakkle Check Level",
	category    = "Utility",
	license     = "MIT",
	author      = "Brakkle Developers",
	description = [[A constant level of 0.5 on every channel, whether the transport rolls or not.
Put in front of Brakkle by tools/ardour/try-in-ardour: with a constant input every
slice edge shows as an output sample of exactly 0.]]
}

function dsp_ioconfig ()
	return { { audio_in = -1, audio_out = -1 } }
end

function dsp_run (ins, outs, n_samples)
	for c = 1, #outs do
		local o = outs[c]:array ()
		for i = 1, n_samples do
			o[i] = 0.5
		end
	end
end
