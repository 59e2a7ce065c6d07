-- Run by tools/ardour/try-in-ardour through ardour7-lua (Ardour's headless Lua
-- interpreter); see that script for what it is for. Arguments are key=value.
--
--   task=session  makes a fresh session with the "None (Dummy)" backend, puts the
--                 constant level and Brakkle on an audio track, sets Brakkle's
--                 parameters and captures its output from `start` for `length`
--                 samples, by
--                   via=export  Ardour's own export (freewheel; a locate to start, then roll)
--                   via=record  a real roll from a locate, recorded on a second track
--                   via=cli     only saves the session with its range set, for ardour7-export
--                 then (export, record) prints where the slices start.
--   task=analyse  prints where the slices start in the WAV file `wav`, whose first
--                 sample is at timeline position `start`.
--   task=preset   writes an LV2 preset bundle into `dir` that sets Brakkle's
--                 divisions and Grid Lock (format=lv2: Ardour reaches an LV2
--                 plug-in's parameters only through its state, see below).
--
-- Every failure prints one line starting with "try-in-ardour:" and exits with 2;
-- a complete case ends with the line "try-in-ardour: case done".

io.stdout:setvbuf ("no")

-- The session helpers shared with probe-ardour.lua, from this script's folder.
local S = dofile ((debug.getinfo (1, "S").source:match ("^@(.*/)") or "./") .. "session.lua")
S.prefix = "try-in-ardour"

local opt = S.options (arg)
local fail = S.fail
local function number (key) return S.number (opt, key) end

-- The note divisions as Brakkle lists them, lowest first; a division's
-- normalised parameter value is its index over the last index.
local noteNames = {
	"1/64 T", "1/64", "1/64 D", "1/32 T", "1/32", "1/32 D", "1/16 T", "1/16", "1/16 D",
	"1/8 T", "1/8", "1/8 D", "1/4 T", "1/4", "1/4 D", "1/2 T", "1/2", "1/2 D", "1 BAR", "2 BARS"
}

local function noteIndex (name)
	for i, n in ipairs (noteNames) do
		if n == name then return i - 1 end
	end
	fail ("unknown note division \"" .. name .. "\" (use one of: " .. table.concat (noteNames, ", ") .. ")")
end

local function noteValue (name)
	return noteIndex (name) / (#noteNames - 1)
end

----------------------------------------------------------------------------------
-- Brakkle's settings as an LV2 preset. Ardour lists only an LV2 plug-in's ports
-- as its controls; Brakkle's parameters are LV2 parameters (patch messages),
-- which Ardour's Lua cannot set. A preset restores the plug-in's state: the
-- string JUCE's LV2 client keeps it in, the plug-in's own saved state (JUCE's
-- binary wrapping of its XML) in JUCE's base64. Parameters the state leaves
-- out open at their defaults.

local function juceBase64 (bytes)
	local alphabet = ".ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+"
	local out = { tostring (#bytes), "." }
	local bits = #bytes * 8
	for start = 0, bits - 1, 6 do
		-- six bits from `start` on, lowest bit first, as JUCE's getBitRange reads them
		local value, got = 0, 0
		local bit = start
		while got < 6 and bit < bits do
			local byte = bytes:byte (bit // 8 + 1)
			value = value | (((byte >> (bit % 8)) & 1) << got)
			got, bit = got + 1, bit + 1
		end
		out[#out + 1] = alphabet:sub (value + 1, value + 1)
	end
	return table.concat (out)
end

local function writePreset (dir, stutter, refresh, gridlock)
	local xml = string.format ('<PARAMETERS><PARAM id="stutterSync" value="1"/><PARAM id="refreshSync" value="1"/>'
	                           .. '<PARAM id="stutterTimeBpm" value="%d"/><PARAM id="refreshTimeBpm" value="%d"/>'
	                           .. '<PARAM id="gridLock" value="%d"/></PARAMETERS>',
	                           noteIndex (stutter), noteIndex (refresh), gridlock == "on" and 1 or 0)
	local state = string.pack ("<I4I4", 0x21324356, #xml) .. xml .. "\0"

	os.execute ("mkdir -p '" .. dir .. "'")
	local f = io.open (dir .. "/manifest.ttl", "wb")
	if not f then fail ("cannot write the preset into " .. dir) end
	f:write ("@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
	         .. "@prefix pset:  <http://lv2plug.in/ns/ext/presets#> .\n"
	         .. "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
	         .. "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n\n"
	         .. "<urn:brakkle-check:settings>\n"
	         .. "\ta pset:Preset ;\n"
	         .. "\tlv2:appliesTo <urn:halvorn:brakkle> ;\n"
	         .. "\trdfs:label \"brakkle-check\" ;\n"
	         .. "\tstate:state [\n"
	         .. "\t\t<urn:halvorn:brakkle:StateString> \"" .. juceBase64 (state) .. "\"\n"
	         .. "\t] .\n")
	f:close ()
end

----------------------------------------------------------------------------------
-- Where the slices start

-- With a constant input every slice edge is an output sample of exactly 0: the
-- fade-in starts there. Consecutive edges are one slice length apart, except
-- where a fresh slice is recorded: the last repeat before it is cut short, so
-- the edge of a new slice comes sooner. x holds channel 1, x[1] at timeline `first`.
local function analyse (x, n, first, samplesPerBeat)
	print (string.format ("  captured %d samples from %d (beat %.3f)", n, first, first / samplesPerBeat))

	-- A slice edge is a lone 0 (or two or three close together where a repeat
	-- is cut short); a longer run of zeros is silence, not an edge.
	local edges, i = {}, 1
	while i <= n do
		if x[i] == 0 then
			local j = i
			while j < n and x[j + 1] == 0 do j = j + 1 end
			if j - i + 1 <= 4 then
				for k = i, j do edges[#edges + 1] = first + k - 1 end
			else
				print (string.format ("  silence: %d samples from %d", j - i + 1, first + i - 1))
			end
			i = j + 1
		else
			i = i + 1
		end
	end

	if #edges < 3 then
		print ("  slice edges: " .. #edges .. " (the output hardly touches 0: Brakkle did not slice here)")
		return
	end

	local function mostCommon (values)
		local count, best, bestCount = {}, nil, 0
		for _, v in ipairs (values) do
			count[v] = (count[v] or 0) + 1
			if count[v] > bestCount then best, bestCount = v, count[v] end
		end
		return best
	end

	local gaps = {}
	for k = 2, #edges do gaps[#gaps + 1] = edges[k] - edges[k - 1] end
	local sliceLength = mostCommon (gaps)

	local starts = {}
	for k = 2, #edges do
		local gap = edges[k] - edges[k - 1]
		local nextGap = edges[k + 1] and edges[k + 1] - edges[k] or math.huge
		if gap < sliceLength and nextGap >= sliceLength then starts[#starts + 1] = edges[k] end
	end

	print (string.format ("  slice edges: %d, first at %d; slice length %d samples", #edges, edges[1], sliceLength))

	if #starts == 0 then
		print ("  no new slice told apart from the repeats: with a constant input, a slice that fits the refresh period exactly leaves no sign of a fresh one")
		return
	end

	local cycles = {}
	for k = 2, #starts do cycles[#cycles + 1] = starts[k] - starts[k - 1] end
	local cycle = mostCommon (cycles)

	-- The first edge starts a slice of its own when it lies a whole number of
	-- cycles before the first one found; otherwise the cycle it belongs to
	-- began before the capture (where it began is inferred).
	if cycle and (starts[1] - edges[1]) % cycle == 0 and edges[1] < starts[1] then
		table.insert (starts, 1, edges[1])
	elseif cycle then
		local before = starts[1] - cycle
		if before < edges[1] then
			print (string.format ("  the cycle running at the start began at %d (inferred: %d before the first new slice found)",
			                      before, starts[1] - before))
		end
	end

	print (string.format ("  new slices: %d, %s apart", #starts, cycle and (cycle .. " samples") or "?"))

	local offsets, order = {}, {}
	for k, s in ipairs (starts) do
		local beat = math.floor (s / samplesPerBeat + 0.5)
		local offset = s - beat * samplesPerBeat
		if k <= 6 then
			print (string.format ("    new slice at %8d = beat %3d %+9.1f samples (%+.2f ms)", s, beat, offset, offset * 1000 / number ("rate")))
		end
		local key = string.format ("%+.1f", offset)
		if not offsets[key] then offsets[key] = 0; order[#order + 1] = key end
		offsets[key] = offsets[key] + 1
	end

	local summary = {}
	for _, key in ipairs (order) do summary[#summary + 1] = key .. " (x" .. offsets[key] .. ")" end
	print ("  RESULT new slice starts relative to the nearest beat, in samples: " .. table.concat (summary, ", "))
end

local readWav = S.read_wav

----------------------------------------------------------------------------------

local rate = number ("rate")
local samplesPerBeat = 60 * rate / number ("bpm")

if opt.task == "analyse" then
	local x, n = readWav (opt.wav)
	analyse (x, n, number ("start"), samplesPerBeat)
	print ("try-in-ardour: case done")
	os.exit (0)
end

if opt.task == "preset" then
	writePreset (opt.dir, opt.stutter, opt.refresh, opt.gridlock)
	print ("try-in-ardour: case done")
	os.exit (0)
end

local lv2 = opt.format == "lv2"

if opt.task ~= "session" then fail ("task=session or task=analyse") end

local via, start, length = opt.via, number ("start"), number ("length")
if via ~= "export" and via ~= "record" and via ~= "cli" then fail ("via= must be export, record or cli") end

S.start_engine (rate, number ("block"))
S.new_session (opt.dir, "try", rate, number ("bpm"))

local function newTrack (name) return S.new_track (name, 1) end

local track = newTrack ("Brakkle")

S.add_luaproc (track, "Brakkle Check Level", 0)
local brakkle = S.add_plugin (track, "Brakkle", lv2 and "LV2" or "VST3", 1)

if lv2 then
	local plugin = brakkle:to_insert ():plugin (0)
	local preset = plugin:preset_by_label ("brakkle-check")
	if not preset then fail ("Ardour does not list the preset with Brakkle's settings") end
	if not plugin:load_preset (preset) then fail ("Ardour could not load the preset with Brakkle's settings") end
	print ("  Grid Lock: " .. (opt.gridlock == "on" and "on" or "off") .. " (LV2: set with the preset)")
else
	local plugin = brakkle:to_insert ():plugin (0)
	local index = {}
	for i = 0, plugin:parameter_count () - 1 do index[plugin:parameter_label (i)] = i end

	local function set (label, value)
		if not index[label] then fail ("Brakkle has no parameter \"" .. label .. "\"") end
		if not ARDOUR.LuaAPI.set_processor_param (brakkle, index[label], value) then fail ("cannot set " .. label) end
		local now = ARDOUR.LuaAPI.get_processor_param (brakkle, index[label])
		if math.abs (now - value) > 1e-6 then fail (label .. " reads back " .. now .. " after setting " .. value) end
	end

	set ("Stutter Sync", 1)
	set ("Refresh Sync", 1)
	set ("Stutter Time BPM", noteValue (opt.stutter))
	set ("Refresh Time BPM", noteValue (opt.refresh))

	if not index["Grid Lock"] then
		if opt.gridlock == "on" then fail ("this bundle has no Grid Lock parameter") end
		print ("  Grid Lock: not in this bundle")
	else
		if opt.gridlock == "on" or opt.gridlock == "off" then set ("Grid Lock", opt.gridlock == "on" and 1 or 0) end
		local on = ARDOUR.LuaAPI.get_processor_param (brakkle, index["Grid Lock"]) > 0.5
		print ("  Grid Lock: " .. (on and "on" or "off"))
	end
end

local wait = S.wait

if via == "cli" then
	-- ardour7-export exports the session range, which Lua cannot set in a
	-- session without regions: it is written into the saved session instead.
	S.save_with_locations (opt.dir, "try", rate, { { name = "session", start = start, finish = start + length, flags = "IsSessionRange" } })
	print ("try-in-ardour: case done")
	os.exit (0)
end

if via == "export" then
	local x, n = readWav (S.export (opt.preset, opt.out, start, length))
	analyse (x, n, start, samplesPerBeat)
else
	-- record: Brakkle's track feeds a second track, armed; locate, roll, stop.
	local capture = newTrack ("Capture")
	capture:input ():disconnect_all (nil)
	if capture:input ():connect (capture:input ():audio (0), track:output ():audio (0):name (), nil) ~= 0 then
		fail ("cannot connect Brakkle's track to the capture track")
	end
	capture:rec_enable_control ():set_value (1, PBD.GroupControlDisposition.NoGroup)
	Session:maybe_enable_record (false)
	wait (function () return Session:record_status () == ARDOUR.Session.RecordState.Enabled end, 20, "arming the session for recording")

	Session:request_locate (start, false, ARDOUR.LocateTransportDisposition.MustStop, ARDOUR.TransportRequestSource.TRS_UI)
	wait (function () return Session:transport_sample () == start end, 20, "locating to " .. start)
	Session:request_roll (ARDOUR.TransportRequestSource.TRS_UI)
	wait (function () return Session:transport_sample () >= start + length end, 20 + length / rate, "rolling")
	Session:request_stop (false, false, ARDOUR.TransportRequestSource.TRS_UI)
	wait (function () return not Session:transport_rolling () end, 20, "stopping")
	Session:disable_record (false, false)

	-- The take becomes a region once the recording is written out.
	local region, count
	local function take ()
		region, count = nil, 0
		for r in capture:playlist ():region_list ():iter () do region, count = r, count + 1 end
		return count > 0
	end
	wait (take, 20, "waiting for the recorded take")
	if count ~= 1 then fail ("the capture track has " .. count .. " regions, not one") end
	local readable = region:to_audioregion ():to_readable ()
	local total = readable:readable_length ()
	local memory = ARDOUR.DSP.DspShm (8192)
	local x, n = {}, 0
	while n < total do
		local got = readable:read (memory:to_float (0), n, 8192, 0)
		if got <= 0 then break end
		local d = memory:to_float (0):array ()
		for i = 1, got do x[n + i] = d[i] end
		n = n + got
	end
	analyse (x, n, region:position ():samples (), samplesPerBeat)
end

-- Ardour now and then crashes while closing a session; the case is complete by then.
print ("try-in-ardour: case done")
close_session ()
