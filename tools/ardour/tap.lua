ardour {
	["type"]    = "dsp",
	name        = "Brakkle Check Tap",
	category    = "Utility",
	license     = "MIT",
	author      = "Brakkle Developers",
	description = [[Passes its input through and keeps what passes while the transport rolls:
the samples of the first channel, and for every block the transport position and
length. Put behind Brakkle by tools/ardour/try-in-ardour for a looped roll, which
neither export can capture; the session script reads it from the shared memory.]]
}

-- Shared memory, in 32-bit words:
--   [0]                  blocks kept
--   [1]                  samples kept
--   [2]                  1 once a block or a sample did not fit
--   [3 .. 3 + 3B)        per block: transport position, length, first sample's index
--   [3 + 3B ...]         the samples, as floats
local maxBlocks = 65536
local maxSamples = 4194304
local blockBase = 3
local sampleBase = blockBase + 3 * maxBlocks

function dsp_ioconfig ()
	return { { audio_in = -1, audio_out = -1 } }
end

function dsp_init (rate)
	self:shmem ():allocate (sampleBase + maxSamples)
	self:shmem ():clear ()
end

function dsp_run (ins, outs, n_samples)
	for c = 1, #outs do
		if ins[c] ~= outs[c] then ARDOUR.DSP.copy_vector (outs[c], ins[c], n_samples) end
	end
	if not Session:transport_rolling () then return end

	local shm = self:shmem ()
	local head = shm:to_int (0):array ()
	local blocks, samples = head[1], head[2]
	if blocks >= maxBlocks or samples + n_samples > maxSamples then
		head[3] = 1
		return
	end

	local b = shm:to_int (blockBase + 3 * blocks):array ()
	b[1] = Session:transport_sample ()
	b[2] = n_samples
	b[3] = samples

	if #ins > 0 then
		local x = ins[1]:array ()
		local y = shm:to_float (sampleBase + samples):array ()
		for i = 1, n_samples do y[i] = x[i] end
	end
	head[1] = blocks + 1
	head[2] = samples + n_samples
end
