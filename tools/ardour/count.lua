ardour {
	["type"]    = "dsp",
	name        = "Brakkle Probe Count",
	category    = "Utility",
	license     = "MIT",
	author      = "Brakkle Developers",
	description = [[A running count of the samples this processor has made, on every
channel, whether the transport rolls or not: 0, 1, 2, ... (exact in 32-bit float
up to 2^24, then it starts again at 0). Put in front of the probe by
tools/ardour/probe-ardour, so that every output sample tells which input sample
it was and which block the probe saw it in.]]
}

local count = 0

function dsp_ioconfig ()
	return { { audio_in = -1, audio_out = -1 } }
end

function dsp_run (ins, outs, n_samples)
	for c = 1, #outs do
		local o = outs[c]:array ()
		local v = count
		for i = 1, n_samples do
			o[i] = v
			v = v + 1
			if v >= 16777216 then v = 0 end
		end
	end
	count = (count + n_samples) % 16777216
end
