-- Run by tools/ardour/probe-ardour through ardour7-lua; see that script for what
-- it is for. Arguments are key=value.
--
--   task=session  makes a fresh session with the "None (Dummy)" backend and an
--                 audio track carrying a running sample count (count.lua) into
--                 the plug-in `plugin` of `kind` (VST3 or LV2), then
--                   via=export  exports [start, start + length) with Ardour's own
--                               export (freewheel) into the folder `out`
--                   via=cli     only saves the session with that range as its
--                               session range, for ardour7-export
--                   via=loop    saves the session with a loop range from beat
--                               `loopfrom` to beat `loopto`, loads it again,
--                               plays the loop for `passes` passes and stops
--                 `meter=N/D` sets the meter from the start (else 4/4).
--                 `ramp=A,B,Q` makes the tempo a ramp from A to B BPM over the
--                 first Q quarters, then B. The plug-in is removed from the
--                 track before the session closes, so that its log is written.
--   task=report   prints the probe's log `log` block by block (the first `head`
--                 blocks and those around anything that changes), and, given
--                 the captured file `wav`, where its first sample lies among the
--                 blocks the plug-in saw.
--
-- Every failure prints one line starting with "probe-ardour:" and exits with 2;
-- a complete case ends with the line "probe-ardour: case done".

io.stdout:setvbuf ("no")

local S = dofile ((debug.getinfo (1, "S").source:match ("^@(.*/)") or "./") .. "session.lua")
S.prefix = "probe-ardour"

local opt = S.options (arg)
local function number (key) return S.number (opt, key) end

----------------------------------------------------------------------------------
-- The report

local function parseLog (path)
	local f = io.open (path, "r")
	if not f then S.fail ("the probe wrote no log at " .. path .. " (was it ever processed or released?)") end
	local instances, order = {}, {}
	for line in f:lines () do
		local who, rest = line:match ("^probe (%S+) (.*)$")
		if who then
			local inst = instances[who]
			if not inst then
				inst = { name = who, blocks = {}, events = {} }
				instances[who] = inst
				order[#order + 1] = inst
			end
			if rest:sub (1, 2) == "# " then
				inst.events[#inst.events + 1] = { before = #inst.blocks, text = rest:sub (3) }
			else
				local b = { line = rest }
				for k, v in rest:gmatch ("(%w+)=(%S+)") do b[k] = v end
				b.index = tonumber (b.block)
				b.n = tonumber (b.n)
				b.samplesN = tonumber (b.samples or "")
				b.ppqN = tonumber (b.ppq or "")
				b.bpmN = tonumber (b.bpm or "")
				local first, last = (b["in"] or ""):match ("^(.-)%.%.(.*)$")
				b.first, b.last = tonumber (first), tonumber (last)
				inst.blocks[#inst.blocks + 1] = b
			end
		end
	end
	f:close ()
	return order
end

local mostCommon = S.most_common

-- What a block says that the one before did not lead one to expect.
local function changes (prev, b, usualN)
	local why = {}
	if not prev then return why end
	if b.n ~= usualN then why[#why + 1] = "n=" .. b.n end
	if b.playing ~= prev.playing then why[#why + 1] = "playing " .. tostring (prev.playing) .. "->" .. tostring (b.playing) end
	if b.looping ~= prev.looping then why[#why + 1] = "looping " .. tostring (prev.looping) .. "->" .. tostring (b.looping) end
	if b.loop ~= prev.loop then why[#why + 1] = "loop points " .. tostring (prev.loop) .. "->" .. tostring (b.loop) end
	if b.bpm ~= prev.bpm then why[#why + 1] = "bpm" end
	if b.sig ~= prev.sig then why[#why + 1] = "meter" end
	if b.barStart ~= prev.barStart then why[#why + 1] = "bar start" end
	if b.samplesN and prev.samplesN then
		local step = b.samplesN - prev.samplesN
		if b.playing == "1" and step ~= prev.n then why[#why + 1] = "samples moved " .. step .. " after a block of " .. prev.n end
		if b.playing ~= "1" and step ~= 0 then why[#why + 1] = "samples moved " .. step .. " while stopped" end
	end
	-- Only where both blocks carry the count (a track that does not run its
	-- processors hands the plug-in silence).
	local function counting (x) return x.first and x.last and x.n > 1 and x.last - x.first == x.n - 1 end
	if counting (b) and counting (prev) and b.first ~= prev.last + 1 then
		why[#why + 1] = string.format ("input jumps %+d", b.first - prev.last - 1)
	elseif counting (b) ~= counting (prev) then
		why[#why + 1] = counting (b) and "input counts" or "input stops counting"
	end
	return why
end

local function report ()
	local rate, bpm = number ("rate"), number ("bpm")
	local head = tonumber (opt.head or "") or 12
	local instances = parseLog (opt.log)
	local samplesPerQuarter = 60 * rate / bpm

	local main
	for _, inst in ipairs (instances) do
		if #inst.blocks > 0 and (not main or #inst.blocks > #main.blocks) then main = inst end
	end
	for _, inst in ipairs (instances) do
		local ev = {}
		for _, e in ipairs (inst.events) do ev[#ev + 1] = e.text .. (e.before > 0 and (" (after block " .. (e.before - 1) .. ")") or "") end
		print (string.format ("  instance %s: %d blocks; %s", inst.name, #inst.blocks, table.concat (ev, "; ")))
	end
	if not main then print ("  no instance processed any block"); return end

	local blocks = main.blocks
	local ns = {}
	for _, b in ipairs (blocks) do ns[#ns + 1] = b.n end
	local usualN = mostCommon (ns)

	-- Which blocks to show: the first `head`, and one either side of every change.
	local show, why = {}, {}
	for i = 1, math.min (head, #blocks) do show[i] = true end
	for i, b in ipairs (blocks) do
		local w = changes (blocks[i - 1], b, usualN)
		if #w > 0 then
			why[i] = table.concat (w, ", ")
			for j = i - 1, i + 1 do if blocks[j] then show[j] = true end end
		end
	end
	show[#blocks] = true

	-- The position each block ought to have, from its sample position at a
	-- constant tempo; the difference in Ardour's ticks (1/1920 quarter).
	local constant = opt.ramp == nil or opt.ramp == ""
	print (string.format ("  instance %s, usual block %d samples; showing %s blocks", main.name, usualN, head > 0 and "the first " .. head .. " and changed" or "changed"))
	local skipped = false
	for i, b in ipairs (blocks) do
		if show[i] then
			local extra = ""
			if constant and b.samplesN and b.ppqN then
				extra = string.format (" [ppq-samples/%.4f: %+.4f ticks]", samplesPerQuarter, (b.ppqN - b.samplesN / samplesPerQuarter) * 1920)
			end
			print ("    " .. b.line .. extra .. (why[i] and ("   <- " .. why[i]) or ""))
			skipped = false
		elseif not skipped then
			print ("    ...")
			skipped = true
		end
	end

	-- In a ramp: the position against a tempo that changes linearly with the
	-- quarters (Ardour's ramp), and the tempo a block reports against the one
	-- its position's step implies.
	if not constant then
		local t0, t1, q = opt.ramp:match ("^([%d.]+),([%d.]+),([%d.]+)$")
		t0, t1, q = tonumber (t0), tonumber (t1), tonumber (q)
		local k = (t1 - t0) / (60 * q)                      -- d(tempo)/d(quarter), per second
		local tEnd = math.log (t1 / t0) / k                  -- seconds to the ramp's end
		local function quarters (seconds)
			if seconds <= tEnd then return t0 / (60 * k) * (math.exp (k * seconds) - 1) end
			return q + t1 / 60 * (seconds - tEnd)
		end
		local worst, worstBlock = 0, nil
		for _, b in ipairs (blocks) do
			if b.playing == "1" and b.ppqN and b.samplesN then
				local e = (b.ppqN - quarters (b.samplesN / rate)) * 1920
				if math.abs (e) > math.abs (worst) then worst, worstBlock = e, b end
			end
		end
		print (string.format ("  ramp: the ramp ends at sample %.1f; ppq against tempo linear in quarters: worst %+.3f ticks (block %s)",
		                      tEnd * rate, worst, worstBlock and worstBlock.index or "?"))
		print ("  ramp: per block, reported bpm and the tempo implied by the ppq step to the next block")
		for i = 1, #blocks - 1 do
			local a, c = blocks[i], blocks[i + 1]
			if a.playing == "1" and c.playing == "1" and a.ppqN and c.ppqN and a.bpmN and c.samplesN == a.samplesN + a.n then
				local implied = (c.ppqN - a.ppqN) / (a.n / rate) * 60
				if i <= head or i % 8 == 0 then
					print (string.format ("    block %d samples=%d ppq=%.6f bpm=%.4f implied=%.4f (%+.4f)", a.index, a.samplesN, a.ppqN, a.bpmN, implied, implied - a.bpmN))
				end
			end
		end
	end

	if opt.wav and opt.wav ~= "" then
		local x, n = S.read_wav (opt.wav)
		local c0 = x[1]
		local breaks = 0
		for k = 2, n do if x[k] ~= x[k - 1] + 1 then breaks = breaks + 1 end end
		print (string.format ("  file %s: %d samples; input counts %s..%s; %s", opt.wav:match ("[^/]*$"), n, tostring (x[1]), tostring (x[n]),
		                      breaks == 0 and "continuous" or (breaks .. " breaks in the count")))
		local found = false
		for _, b in ipairs (blocks) do
			if b.first and b.last and c0 >= b.first and c0 <= b.last then
				print (string.format ("  file sample 0 = input count %d = block %d (samples=%s ppq=%s playing=%s) + %d samples",
				                      c0, b.index, b.samples or "?", b.ppq or "?", b.playing or "?", c0 - b.first))
				found = true
			end
		end
		if not found then print ("  the file's first input count " .. tostring (c0) .. " lies in no logged block") end
	end
end

if opt.task == "report" then
	report ()
	print ("probe-ardour: case done")
	os.exit (0)
end

----------------------------------------------------------------------------------
-- The session

if opt.task ~= "session" then S.fail ("task=session or task=report") end

local via, rate = opt.via, number ("rate")
if via ~= "export" and via ~= "cli" and via ~= "loop" then S.fail ("via= must be export, cli or loop") end

S.start_engine (rate, number ("block"))
S.new_session (opt.dir, "probe", rate, number ("bpm"))

if opt.meter and opt.meter ~= "" then
	local d, v = opt.meter:match ("^(%d+)/(%d+)$")
	if not d then S.fail ("meter= takes N/D") end
	S.set_meter (tonumber (d), tonumber (v))
end

if opt.ramp and opt.ramp ~= "" then
	local a, b, q = opt.ramp:match ("^([%d.]+),([%d.]+),([%d.]+)$")
	if not a then S.fail ("ramp= takes FROM,TO,QUARTERS") end
	S.set_tempo_map ({ { beat = 0, bpm = tonumber (a), ramp = true }, { beat = tonumber (q), bpm = tonumber (b) } })
	-- The map's own figures: where quarter Q falls (a ramp gets there sooner or
	-- later than either tempo would) and the tempo it names at 0 and at Q.
	local map = Temporal.TempoMap.read ()
	local at = Temporal.timepos_t.from_ticks (math.floor (tonumber (q) * 1920 + 0.5))
	print (string.format ("  tempo map: quarter %g at sample %d (%.0f at a constant %s BPM, %.0f at %s); tempo named at 0: %.4f, at quarter %g: %.4f",
	                      tonumber (q), at:samples (), tonumber (q) * 60 * rate / tonumber (a), a, tonumber (q) * 60 * rate / tonumber (b), b,
	                      map:quarters_per_minute_at (Temporal.timepos_t (0)), tonumber (q), map:quarters_per_minute_at (at)))
end

local track = S.new_track ("Probe", 2)
S.add_luaproc (track, "Brakkle Probe Count", 0)
local probe = S.add_plugin (track, opt.plugin or "Brakkle Probe", opt.kind or "VST3", 1)

-- Removing the plug-in releases and destroys it, which writes its log; Ardour
-- now and then crashes while closing a session, so this is not left to that.
local function removeProbe ()
	if track:to_route ():remove_processor (probe, nil, true) ~= 0 then S.fail ("cannot remove the probe") end
	probe = nil
	collectgarbage ()
	ARDOUR.LuaAPI.usleep (200000)
end

if via == "cli" then
	local start, length = number ("start"), number ("length")
	S.save_with_locations (opt.dir, "probe", rate, { { name = "session", start = start, finish = start + length, flags = "IsSessionRange" } })
	print ("probe-ardour: case done")
	os.exit (0)
end

if via == "export" then
	local start, length = number ("start"), number ("length")
	local file = S.export (opt.preset, opt.out, start, length)
	print ("  exported " .. file)
	removeProbe ()
	print ("probe-ardour: case done")
	close_session ()
	os.exit (0)
end

-- via == "loop": the loop is stored in musical time, as the editor's loop range
-- on bar lines would be; then the session is loaded again to take it.
local from, to, passes = number ("loopfrom"), number ("loopto"), number ("passes")
S.save_with_locations (opt.dir, "probe", rate, { { name = "Loop", start = from, finish = to, flags = "IsAutoLoop,IsHidden", beats = true } })
if not load_session (opt.dir, "probe") or not Session then S.fail ("cannot load the session again") end

local loop = Session:locations ():auto_loop_location ()
if not loop then S.fail ("the session has no loop range after loading") end
print (string.format ("  loop range: samples %d to %d", loop:start ():samples (), loop:_end ():samples ()))

-- The probe of the loaded session.
for t in Session:get_tracks ():iter () do
	if t:name () == "Probe" then track = t end
end
probe = track:to_route ():nth_plugin (0)
if probe:isnil () then S.fail ("the loaded session has no plug-in on the track") end

local wraps = S.play_loop (loop:start ():samples (), loop:_end ():samples (), passes, rate)
print ("  transport wrapped " .. wraps .. " times")
removeProbe ()
print ("probe-ardour: case done")
close_session ()
